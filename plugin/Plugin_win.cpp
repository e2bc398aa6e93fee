// The six exports of MorvelRussia.dll. Each one is an entry stub around a body
// as thin as a main: it guards the host's floating-point state, lets no
// exception out, and hands the work to the session.
#include "contract/contract.h"
#include "module/boundary_win.h"
#include "module/cxx_runtime_win.h"
#include "module/entry_win.h"
#include "module/module_win.h"
#include "plugin/root_win.h"
#include "plugin/unload_win.h"
#include "ui/win/look_win.h"

#include <exception>
#include <string>

using namespace morvel;

namespace __gnu_cxx {
// The C++ runtime's: frees the emergency exception pool it allocates when the
// module starts, which it otherwise never frees.
void __freeres() noexcept;
} // namespace __gnu_cxx

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleInstance(instance);
        runtime::RegisterFrameTable();
        MakeExitThunk();
        // What would ask the loader later, asked while its lock is held here.
        NoteHostProgram();
        win::LookUpDpiFunctions();
    } else if (reason == DLL_PROCESS_DETACH) {
        if (reserved != nullptr) {
            // Process exit: other threads are gone, possibly in the middle of
            // anything; nothing is torn down.
            SetProcessExiting();
        } else {
            Boundary([] { UnloadModule(); });
            runtime::ReleaseRuntime();
            // Linked statically, the runtime is loaded and unloaded with the
            // module: without this every unload would leave its pool behind.
            __gnu_cxx::__freeres();
        }
    }
    return TRUE;
}

MORVEL_HOST_CALL void MorvelGetInfoBody(TPluginInfo* info) noexcept {
    EnterBody(false, NothingToDo<void>, [&] { FillPluginInfo(*info); });
}

MORVEL_HOST_CALL std::uintptr_t MorvelRunBody(std::int32_t /*ignored*/,
                                              const TQSOData* data) noexcept {
    // Making and showing the windows activates others and pumps messages.
    return EnterBody(true, NothingToDo<std::uintptr_t>, [&]() -> std::uintptr_t {
        SavedAppHandle = ApplicationHandle;
        const MainView* main = Root().Run(data);
        return main != nullptr ? main->WindowHandle() : 0;
    });
}

MORVEL_HOST_CALL std::int32_t MorvelAddQSOBody(const TQSOData* data) noexcept {
    return EnterBody(false, NothingToDo<std::int32_t>, [&]() -> std::int32_t {
        CopyRecord(WorkingRecord, data);
        return Root().AddQSO(WorkingRecord);
    });
}

MORVEL_HOST_CALL std::int32_t MorvelGetScoreBody(const TQSOData* data) noexcept {
    return EnterBody(false, NothingToDo<std::int32_t>, [&]() -> std::int32_t {
        CopyRecord(WorkingRecord, data);
        return Root().GetScore(WorkingRecord);
    });
}

MORVEL_HOST_CALL void MorvelGrabNumberBody(const TQSOData* data, ShortString* number) noexcept {
    EnterBody(false, NothingToDo<void>, [&] {
        std::string code;
        try {
            CopyRecord(WorkingRecord, data);
            code = Root().GrabOblast(WorkingRecord);
        } catch (...) {
            code.clear();
        }
        number->Assign(code); // the buffer is always written
    });
}

MORVEL_HOST_CALL void MorvelReleaseBody() noexcept {
    EnterBody(false, NothingToDo<void>, [] {
        ApplicationHandle = SavedAppHandle;
        Root().Release();
    });
}

} // extern "C"

// The exports themselves: the host's register convention passes every
// argument in a register, so the stubs take no stack bytes.
MORVEL_HOST_ENTRY(MorvelGrabNumber, MorvelGrabNumberBody, GrabNumberProc);
MORVEL_HOST_ENTRY(MorvelRelease, MorvelReleaseBody, ReleaseProc);
MORVEL_HOST_ENTRY(MorvelGetScore, MorvelGetScoreBody, GetScoreProc);
MORVEL_HOST_ENTRY(MorvelAddQSO, MorvelAddQSOBody, AddQSOProc);
MORVEL_HOST_WINDOW_ENTRY(MorvelRun, MorvelRunBody, RunProc);
MORVEL_HOST_ENTRY(MorvelGetInfo, MorvelGetInfoBody, GetInfoProc);
