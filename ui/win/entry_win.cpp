#include "ui/win/entry_win.h"

#include "ui/win/module_win.h"

#include <cstdint>
#include <cstring>
#include <utility>

extern "C" {
long MorvelEntryDepth = 0;
void* MorvelExitThunk = nullptr;
}

namespace morvel {

namespace {

// The reference HoldModule took, until the outermost entry drops it.
HMODULE g_heldModule = nullptr;

constexpr SIZE_T kExitThunkSize = 4096;
// The byte of the exit code's page that is set while its FreeLibrary runs.
constexpr std::size_t kRunningOffset = 64;

void Put32(unsigned char*& p, std::uintptr_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
}

} // namespace

void HoldModule() noexcept {
    if (g_heldModule != nullptr || ModuleUnloading() || ProcessExiting()) {
        return;
    }
    HMODULE module = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&MorvelLeaveEntry), &module)) {
        g_heldModule = module;
    }
}

void MakeExitThunk() noexcept {
    auto* code = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, kExitThunkSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (code == nullptr) {
        return;
    }
    const auto running = reinterpret_cast<std::uintptr_t>(code + kRunningOffset);
    unsigned char* p = code;
    // On entry the stack holds the module, the body's result and the return
    // address into the caller.
    *p++ = 0xC6; // mov byte ptr [running], 1
    *p++ = 0x05;
    Put32(p, running);
    *p++ = 1;
    *p++ = 0xB8; // mov eax, FreeLibrary
    Put32(p, reinterpret_cast<std::uintptr_t>(&FreeLibrary));
    *p++ = 0xFF; // call eax: FreeLibrary(module), which removes the module
    *p++ = 0xD0;
    *p++ = 0xC6; // mov byte ptr [running], 0
    *p++ = 0x05;
    Put32(p, running);
    *p++ = 0;
    *p++ = 0x58; // pop eax: the result
    *p++ = 0xC3; // ret
    FlushInstructionCache(GetCurrentProcess(), code, kExitThunkSize);
    MorvelExitThunk = code;
}

void FreeExitThunk() noexcept {
    auto* code = static_cast<unsigned char*>(std::exchange(MorvelExitThunk, nullptr));
    if (code != nullptr && code[kRunningOffset] == 0) {
        VirtualFree(code, 0, MEM_RELEASE);
    }
}

} // namespace morvel

extern "C" HMODULE MorvelLeaveEntry() noexcept {
    using namespace morvel;
    if (InterlockedDecrement(&MorvelEntryDepth) != 0 || MorvelExitThunk == nullptr ||
        ModuleUnloading() || ProcessExiting()) {
        return nullptr;
    }
    return std::exchange(g_heldModule, nullptr);
}
