#include "module/entry_win.h"

#include "module/module_win.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>

extern "C" {
long MorvelEntryDepth = 0;
void* MorvelExitThunk = nullptr;
}

namespace morvel {

namespace {

// The reference HoldModule took, until the outermost entry drops it.
PVOID volatile g_heldModule = nullptr;
// Set while another thread unloads the module.
volatile LONG g_detaching = 0;

// ntdll's lock of the loader, taken only if free (LdrLockLoaderLock with its
// try-only flag, in every Windows since XP).
using LockLoader = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);
using UnlockLoader = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);
LockLoader g_lockLoader = nullptr;
UnlockLoader g_unlockLoader = nullptr;
constexpr ULONG kTryOnly = 0x2;
constexpr ULONG kLockAcquired = 1;
// Whether the loader's lock is all the loader takes (Windows XP to 7, Wine):
// then a FreeLibrary made while this thread holds it cannot wait for another
// thread. The loader of Windows 8 and later also loads in parallel under
// locks of its own: there a FreeLibrary that is not the last one takes no
// lock another thread keeps for long, and one made while holding the
// loader's lock could wait for a load whose DllMain waits for that lock.
bool g_loaderLockIsAll = true;

// The exit code, for a stack that holds (from the top) the module, the
// flags below, the cookie of the loader's lock, the body's result and the
// return address into the caller. It calls FreeLibrary(module), which removes
// the module from the stack; then, by the flags, lets the loader's lock go
// and turns a result that names a window no longer there into 0; then
// returns the result. After the code comes a text that tells a later load of
// the module that this is its page.
constexpr SIZE_T kExitCodePage = 4096;
constexpr std::size_t kExitCodeSize = 96;
constexpr char kExitCodeMark[] = "MorvelRussia exit code 2";

void PutAddress(unsigned char*& p, const void* address) {
    const auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
    std::memcpy(p, &value, sizeof value);
    p += sizeof value;
}

void PutBytes(unsigned char*& p, std::initializer_list<unsigned char> bytes) {
    for (const unsigned char b : bytes) {
        *p++ = b;
    }
}

void ExitCodeBytes(unsigned char (&code)[kExitCodeSize]) {
    std::memset(code, 0xCC, sizeof code); // int3 between the code and the mark
    unsigned char* p = code;
    PutBytes(p, {0xB8}); // mov eax, FreeLibrary
    PutAddress(p, reinterpret_cast<const void*>(&FreeLibrary));
    PutBytes(p, {0xFF, 0xD0,       // call eax
                 0x59,             // pop ecx: the flags
                 0x5A,             // pop edx: the cookie
                 0x51,             // push ecx: kept over the next call
                 0xF6, 0xC1, 0x01, // test cl, kExitUnlock
                 0x74, 0x0A,       // jz past the unlock
                 0x52,             // push edx: the cookie
                 0x6A, 0x00,       // push 0: no flags
                 0xB8});           // mov eax, LdrUnlockLoaderLock
    PutAddress(p, reinterpret_cast<const void*>(g_unlockLoader));
    PutBytes(p, {0xFF, 0xD0,       // call eax
                 0x59,             // pop ecx: the flags
                 0xF6, 0xC1, 0x02, // test cl, kExitWindowResult
                 0x74, 0x15,       // jz to the return
                 0xFF, 0x34, 0x24, // push dword [esp]: the result
                 0xB8});           // mov eax, IsWindow
    PutAddress(p, reinterpret_cast<const void*>(&IsWindow));
    PutBytes(p, {0xFF, 0xD0,                               // call eax
                 0x85, 0xC0,                               // test eax, eax
                 0x75, 0x07,                               // jnz to the return
                 0xC7, 0x04, 0x24, 0x00, 0x00, 0x00, 0x00, // mov dword [esp], 0
                 0x58,                                     // pop eax: the result
                 0xC3});                                   // ret
    std::memcpy(code + kExitCodeSize - sizeof kExitCodeMark, kExitCodeMark, sizeof kExitCodeMark);
}

bool IsExitCode(const MEMORY_BASIC_INFORMATION& region,
                const unsigned char (&code)[kExitCodeSize]) {
    return region.State == MEM_COMMIT && region.Type == MEM_PRIVATE &&
           region.Protect == PAGE_EXECUTE_READ && region.BaseAddress == region.AllocationBase &&
           region.RegionSize == kExitCodePage &&
           std::memcmp(region.BaseAddress, code, sizeof code) == 0;
}

// The exit code an earlier load of the module made in this process.
void* FindExitCode(const unsigned char (&code)[kExitCodeSize]) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    auto* address = static_cast<unsigned char*>(system.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION region;
    while (address < system.lpMaximumApplicationAddress &&
           VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (IsExitCode(region, code)) {
            return region.BaseAddress;
        }
        address = static_cast<unsigned char*>(region.BaseAddress) + region.RegionSize;
    }
    return nullptr;
}

// Writes the exit code into a page of its own and makes the page execute and
// read only; nullptr when the system will not have code made at run time
// (arbitrary code guard) or has no memory.
void* MakeExitCode(const unsigned char (&code)[kExitCodeSize]) {
    void* page = VirtualAlloc(nullptr, kExitCodePage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (page == nullptr) {
        return nullptr;
    }
    std::memcpy(page, code, sizeof code);
    DWORD old = 0;
    if (!VirtualProtect(page, kExitCodePage, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(page, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), page, kExitCodePage);
    return page;
}

bool LoaderLockKnown() {
    return g_lockLoader != nullptr && g_unlockLoader != nullptr;
}

// Takes the loader's lock if it is free at once; never waits for it.
bool TryLockLoader(ULONG_PTR& cookie) {
    ULONG disposition = 0;
    return g_lockLoader(kTryOnly, &disposition, &cookie) == 0 && disposition == kLockAcquired;
}

// Takes a reference on the module when the loader's lock is free: then no
// other thread is unloading it. Never waits for the lock.
enum class Take { Taken, Busy };
Take TakeReference() {
    ULONG_PTR cookie = 0;
    const bool known = LoaderLockKnown();
    if (known && !TryLockLoader(cookie)) {
        return Take::Busy;
    }
    HMODULE module = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&MorvelLeaveEntry), &module) &&
        InterlockedCompareExchangePointer(&g_heldModule, module, nullptr) != nullptr) {
        FreeLibrary(module); // another thread holds it already
    }
    if (known) {
        g_unlockLoader(0, cookie);
    }
    return Take::Taken;
}

// Drops the held reference on a thread of its own, which runs no code of the
// module: FreeLibrary is its start routine. That thread may wait for the
// loader's lock; this one does not. When no thread can be started the
// reference is kept, and the module stays loaded.
void DropOnOtherThread() {
    const auto module = static_cast<HMODULE>(InterlockedExchangePointer(&g_heldModule, nullptr));
    if (module == nullptr) {
        return;
    }
    const auto start =
        reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(&FreeLibrary));
    if (HANDLE thread = CreateThread(nullptr, 0, start, module, 0, nullptr)) {
        CloseHandle(thread);
    } else if (InterlockedCompareExchangePointer(&g_heldModule, module, nullptr) != nullptr) {
        // Another hold was taken meanwhile: this reference is left, which
        // keeps the module loaded.
    }
}

// Windows 8 and later: a loader that also loads in parallel (see
// g_loaderLockIsAll); Wine's loader has one lock whatever version it reports.
bool ParallelLoader(HMODULE ntdll) {
    if (GetProcAddress(ntdll, "wine_get_version") != nullptr) {
        return false;
    }
    using GetVersionProc = LONG(NTAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<GetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (getVersion == nullptr || getVersion(&version) != 0) {
        return false;
    }
    return version.dwMajorVersion > 6 ||
           (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
}

// Whether the thread runs code of the module image now.
bool RunsModuleCode(HANDLE thread) {
    if (thread == nullptr || SuspendThread(thread) == static_cast<DWORD>(-1)) {
        return false;
    }
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    bool inside = false;
    if (GetThreadContext(thread, &context)) {
        const auto* base = reinterpret_cast<const unsigned char*>(ModuleInstance());
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const auto eip = static_cast<std::uintptr_t>(context.Eip);
        const auto start = reinterpret_cast<std::uintptr_t>(base);
        inside = eip >= start && eip < start + nt->OptionalHeader.SizeOfImage;
    }
    ResumeThread(thread);
    return inside;
}

} // namespace

bool HoldModule() noexcept {
    if (ModuleUnloading() || ProcessExiting() || g_detaching != 0) {
        return false;
    }
    // A busy loader's lock means a thread is loading or unloading some
    // module, and it may be waiting for this one (a DllMain that sends to the
    // plug-in's window): the caller goes on without the hold at once.
    return g_heldModule != nullptr || (TakeReference() == Take::Taken && g_heldModule != nullptr);
}

bool OrdinaryMessage(UINT message, LPARAM lParam) noexcept {
    switch (message) {
    case WM_NULL:
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT:
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
    case WM_NCMOUSEHOVER:
    case WM_NCMOUSELEAVE:
    case WM_MOUSEWHEEL:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_CAPTURECHANGED:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_DEADCHAR:
    case WM_TIMER:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
    case WM_GETFONT:
    case WM_SETFONT:
    case WM_GETICON:
    case WM_GETDLGCODE:
    case WM_SETREDRAW:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_GETMINMAXINFO:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_MOVE:
    case WM_MOVING:
    case WM_SIZE:
    case WM_SIZING:
    case WM_NCCALCSIZE:
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
    case WM_NCACTIVATE:
        return true;
    case WM_NOTIFY:
        // Another program can post WM_NOTIFY with any lParam: only a record on
        // this thread's stack, where the controls' own notifications lie, is
        // read.
        return RecordOnThisStack(lParam, sizeof(NMHDR)) &&
               reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(NM_CUSTOMDRAW);
    default:
        return false;
    }
}

bool RecordOnThisStack(LPARAM lParam, std::size_t size) noexcept {
    // The thread's information block, as NtCurrentTeb reads it.
    const NT_TIB* tib = nullptr;
    asm("movl %%fs:0x18, %0" : "=r"(tib));
    const auto at = static_cast<std::uintptr_t>(lParam);
    const auto live = reinterpret_cast<std::uintptr_t>(&tib); // below it nothing is in use
    const auto base = reinterpret_cast<std::uintptr_t>(tib->StackBase);
    return at >= live && at < base && base - at >= size;
}

bool ModuleDetaching() noexcept {
    return g_detaching != 0;
}

void MakeExitThunk() noexcept {
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
        g_lockLoader = reinterpret_cast<LockLoader>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
        g_unlockLoader = reinterpret_cast<UnlockLoader>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
        g_loaderLockIsAll = !ParallelLoader(ntdll);
    }
    unsigned char code[kExitCodeSize];
    ExitCodeBytes(code);
    void* page = FindExitCode(code);
    MorvelExitThunk = page != nullptr ? page : MakeExitCode(code);
}

void BeginDetach() noexcept {
    InterlockedExchange(&g_detaching, 1);
}

void AwaitModuleCodeLeft(DWORD windowThread, HWND window) noexcept {
    // A round trip through the windows' thread's messages: a call of one of
    // the module's window procedures that the system had looked up before the
    // windows lost them is made before the thread next takes a message, and
    // shows in the depth below.
    if (window != nullptr) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 200, &answer);
    }
    HANDLE thread = windowThread != 0 ? OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT,
                                                   FALSE, windowThread)
                                      : nullptr;
    const DWORD start = GetTickCount();
    for (int round = 0; MorvelEntryDepth != 0 || RunsModuleCode(thread); ++round) {
        if (GetTickCount() - start > 10000) {
            break; // module code that does not return: unmapped under it
        }
        Sleep(round < 16 ? 0 : 1);
    }
    if (thread != nullptr) {
        CloseHandle(thread);
    }
}

} // namespace morvel

extern "C" HMODULE MorvelLeaveEntry(ULONG kind, MorvelExit* exit) noexcept {
    using namespace morvel;
    exit->flags = 0;
    exit->cookie = 0;
    if (InterlockedDecrement(&MorvelEntryDepth) != 0 || MorvelExitThunk == nullptr ||
        ModuleUnloading() || ProcessExiting() || g_heldModule == nullptr) {
        return nullptr;
    }
    ULONG_PTR cookie = 0;
    const bool known = LoaderLockKnown();
    if (known && !TryLockLoader(cookie)) {
        // Another thread is in the loader, possibly waiting for this one.
        DropOnOtherThread();
        return nullptr;
    }
    const auto module = static_cast<HMODULE>(InterlockedExchangePointer(&g_heldModule, nullptr));
    if (known && (module == nullptr || !g_loaderLockIsAll)) {
        g_unlockLoader(0, cookie);
    } else if (known) {
        // Held over FreeLibrary: the exit code lets it go.
        exit->flags = kExitUnlock;
        exit->cookie = cookie;
    }
    if (module != nullptr) {
        exit->flags |= kind & kExitWindowResult;
    }
    return module;
}
