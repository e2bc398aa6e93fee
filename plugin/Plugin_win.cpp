// The six exports of MorvelRussia.dll. Each one is as thin as a main: it
// guards the host's floating-point state, lets no exception out, and hands the
// work to the main window.
#include "contract/contract.h"
#include "ui/MainForm_win.h"
#include "ui/unload_win.h"
#include "ui/win/boundary_win.h"
#include "ui/win/module_win.h"

#include <exception>
#include <string>

using namespace morvel;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleInstance(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (reserved != nullptr) {
            // Process exit: other threads are gone, possibly in the middle of
            // anything; nothing is torn down.
            SetProcessExiting();
        } else {
            Boundary([] { UnloadModule(); });
        }
    }
    return TRUE;
}

MORVEL_REGISTER void MorvelGetInfo(TPluginInfo* info) {
    Boundary([&] { FillPluginInfo(*info); });
}

MORVEL_REGISTER std::uintptr_t MorvelRun(std::int32_t /*ignored*/, const TQSOData* data) {
    return Boundary(std::uintptr_t{0}, [&]() -> std::uintptr_t {
        DropIdleHold();
        SavedAppHandle = ApplicationHandle;
        if (MainWindow == nullptr) {
            try {
                MainWindow = TfmMainForm::Create(data);
            } catch (const std::exception& e) {
                // The host is no C++ program: the failure is shown, not thrown.
                ShowFailure(e.what());
                return 0;
            }
        }
        MainWindow->ShowForm();
        // A _Release that arrived while the window recalculated has ended it.
        return MainWindow != nullptr ? reinterpret_cast<std::uintptr_t>(MainWindow->Handle()) : 0;
    });
}

MORVEL_REGISTER std::int32_t MorvelAddQSO(const TQSOData* data) {
    return Boundary(kNotRunning, [&] {
        DropIdleHold();
        CopyRecord(WorkingRecord, data);
        return MainWindow != nullptr ? MainWindow->AddQSO() : kNotRunning;
    });
}

MORVEL_REGISTER std::int32_t MorvelGetScore(const TQSOData* data) {
    return Boundary(kNotRunning, [&] {
        DropIdleHold();
        CopyRecord(WorkingRecord, data);
        return MainWindow != nullptr ? MainWindow->GetScore() : kNotRunning;
    });
}

MORVEL_REGISTER void MorvelGrabNumber(const TQSOData* data, ShortString* number) {
    Boundary([&] {
        DropIdleHold();
        std::string code;
        try {
            CopyRecord(WorkingRecord, data);
            if (MainWindow != nullptr) {
                code = MainWindow->GrabOblast();
            }
        } catch (...) {
            code.clear();
        }
        number->Assign(code); // the buffer is always written
    });
}

MORVEL_REGISTER void MorvelRelease() {
    Boundary([] {
        DropIdleHold();
        ApplicationHandle = SavedAppHandle;
        if (TfmMainForm* form = MainWindow) {
            MainWindow = nullptr;
            form->ScheduleRelease();
        }
    });
}

} // extern "C"
