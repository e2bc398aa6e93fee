#include "module/cxx_runtime_win.h"

#include "module/module_win.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <exception>

// A label inside this object's part of the module's frame table; the section
// that holds it is the whole table.
asm(".section .eh_frame,\"dr\"\n"
    ".globl _MorvelFrameTableMark\n"
    "_MorvelFrameTableMark:\n"
    ".text\n");

extern "C" {

extern const char MorvelFrameTableMark[];

// The static unwinder's (libgcc_eh). The object is the unwinder's bookkeeping
// for one registration: six words in GCC 12, opaque here.
void __register_frame_info(const void* begin, void* object);
void* __deregister_frame_info(const void* begin);
struct DwarfEhBases {
    void* tbase;
    void* dbase;
    void* func;
};
const void* _Unwind_Find_FDE(void* pc, DwarfEhBases* bases);

// The C runtime's list of thread-key destructors, run as threads end.
int __mingwthr_key_dtor(unsigned long key, void (*dtor)(void*));
int __mingwthr_remove_key_dtor(unsigned long key);

} // extern "C"

namespace morvel::runtime {

namespace {

alignas(8) void* g_frameObject[16] = {};
const void* g_registeredTable = nullptr;

// The start of the image section that holds address, or nullptr.
const void* SectionStart(const void* address) {
    const auto* base = reinterpret_cast<const unsigned char*>(ModuleInstance());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto rva = static_cast<std::uintptr_t>(static_cast<const unsigned char*>(address) - base);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (rva >= section->VirtualAddress &&
            rva < section->VirtualAddress + section->Misc.VirtualSize) {
            return base + section->VirtualAddress;
        }
    }
    return nullptr;
}

// Thread keys the runtime allocated, freed at unload. The runtime makes one
// (for the exception state of each thread); a few spare slots cost nothing.
constexpr int kMaxKeys = 8;
volatile LONG g_keys[kMaxKeys] = {};
constexpr LONG kNoKey = 0;

// A slot holds key + 1, so that 0 means empty.
bool RecordKey(DWORD key) {
    for (volatile LONG& slot : g_keys) {
        if (InterlockedCompareExchange(&slot, static_cast<LONG>(key) + 1, kNoKey) == kNoKey) {
            return true;
        }
    }
    return false;
}

void ForgetKey(DWORD key) {
    for (volatile LONG& slot : g_keys) {
        InterlockedCompareExchange(&slot, kNoKey, static_cast<LONG>(key) + 1);
    }
}

// Yields to other threads while waiting for a lock: at first only the rest
// of the time slice, then a millisecond at a time, so that a lower-priority
// holder gets to run.
void Backoff(int& round) {
    if (++round < 16) {
        Sleep(0);
    } else {
        Sleep(1);
    }
}

// The exception state of each thread that ran a throw or catch of the
// module, all of them on one list so that the unload frees every one.
struct EhGlobals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
    EhGlobals* next;
};

volatile LONG g_ehIndex = static_cast<LONG>(TLS_OUT_OF_INDEXES);
PVOID volatile g_ehList = nullptr; // EhGlobals*

DWORD EhIndex() {
    const auto index = static_cast<DWORD>(g_ehIndex);
    if (index != TLS_OUT_OF_INDEXES) {
        return index;
    }
    const DWORD made = TlsAlloc();
    if (made == TLS_OUT_OF_INDEXES) {
        return made;
    }
    const LONG before = InterlockedCompareExchange(&g_ehIndex, static_cast<LONG>(made),
                                                   static_cast<LONG>(TLS_OUT_OF_INDEXES));
    if (before != static_cast<LONG>(TLS_OUT_OF_INDEXES)) {
        TlsFree(made); // another thread was first
        return static_cast<DWORD>(before);
    }
    return made;
}

// Semaphores the static unwinder made for its lock (it makes them with the
// Win32 call itself and never closes them), closed at unload.
constexpr int kMaxSemaphores = 8;
HANDLE volatile g_semaphores[kMaxSemaphores] = {};

} // namespace

void RegisterFrameTable() noexcept {
    DwarfEhBases bases{};
    if (_Unwind_Find_FDE(reinterpret_cast<void*>(&RegisterFrameTable), &bases) != nullptr) {
        return; // registered with this unwinder at start-up, as usual
    }
    const void* table = SectionStart(MorvelFrameTableMark);
    if (table == nullptr) {
        return;
    }
    __register_frame_info(table, g_frameObject);
    g_registeredTable = table;
}

void ReleaseRuntime() noexcept {
    if (g_registeredTable != nullptr) {
        __deregister_frame_info(g_registeredTable);
        g_registeredTable = nullptr;
    }
    for (HANDLE volatile& slot : g_semaphores) {
        if (HANDLE semaphore = InterlockedExchangePointer(&slot, nullptr)) {
            CloseHandle(semaphore);
        }
    }
    for (auto* globals = static_cast<EhGlobals*>(InterlockedExchangePointer(&g_ehList, nullptr));
         globals != nullptr;) {
        EhGlobals* next = globals->next;
        HeapFree(GetProcessHeap(), 0, globals);
        globals = next;
    }
    if (const LONG index = InterlockedExchange(&g_ehIndex, static_cast<LONG>(TLS_OUT_OF_INDEXES));
        index != static_cast<LONG>(TLS_OUT_OF_INDEXES)) {
        TlsFree(static_cast<DWORD>(index));
    }
    for (volatile LONG& slot : g_keys) {
        const LONG held = InterlockedExchange(&slot, kNoKey);
        if (held != kNoKey) {
            const auto key = static_cast<DWORD>(held - 1);
            __mingwthr_remove_key_dtor(key);
            TlsFree(key);
        }
    }
}

} // namespace morvel::runtime

// The C++ runtime's per-thread exception state (libsupc++ keeps it in an
// emulated thread-local variable, whose TLS index and lock nothing frees).
extern "C" void* __cxa_get_globals() noexcept {
    using namespace morvel::runtime;
    const DWORD lastError = GetLastError();
    const DWORD index = EhIndex();
    if (index == TLS_OUT_OF_INDEXES) {
        std::terminate(); // as the runtime does when it cannot make the state
    }
    auto* globals = static_cast<EhGlobals*>(TlsGetValue(index));
    if (globals == nullptr) {
        globals = static_cast<EhGlobals*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(EhGlobals)));
        if (globals == nullptr || !TlsSetValue(index, globals)) {
            std::terminate();
        }
        PVOID head = g_ehList;
        do {
            globals->next = static_cast<EhGlobals*>(head);
        } while ((head = InterlockedCompareExchangePointer(&g_ehList, globals, head)) !=
                 globals->next);
    }
    SetLastError(lastError);
    return globals;
}

extern "C" void* __cxa_get_globals_fast() noexcept {
    return __cxa_get_globals();
}

// The static unwinder's semaphore: its module calls CreateSemaphoreW through
// this import slot, which the module defines itself instead of importing it.
extern "C" HANDLE WINAPI MorvelCreateSemaphoreW(SECURITY_ATTRIBUTES* attributes, LONG initial,
                                                LONG maximum, const wchar_t* name) {
    using namespace morvel::runtime;
    if (name != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    HANDLE semaphore = CreateSemaphoreA(attributes, initial, maximum, nullptr);
    if (semaphore != nullptr) {
        for (HANDLE volatile& slot : g_semaphores) {
            if (InterlockedCompareExchangePointer(&slot, semaphore, nullptr) == nullptr) {
                break;
            }
        }
    }
    return semaphore;
}
extern "C" {
void* MorvelCreateSemaphoreWSlot asm("__imp__CreateSemaphoreW@16") =
    reinterpret_cast<void*>(&MorvelCreateSemaphoreW);
}

// The thread primitives of GCC's runtime for the win32 thread model, as its
// headers declare them; defined here, they take the place of libgcc's, whose
// mutexes each hold a semaphore that nothing ever closes. The module's
// runtime takes its locks rarely and almost never from two threads at once:
// a lock that is taken waits by yielding.
extern "C" {

struct __gthread_once_t {
    int done;
    long started;
};
struct __gthread_mutex_t {
    long counter; // -1 free, 0 taken
    void* sema;   // unused
};
struct __gthread_recursive_mutex_t {
    long counter; // -1 free, 0 taken
    long depth;
    unsigned long owner;
    void* sema; // unused
};

int __gthr_win32_once(__gthread_once_t* once, void (*func)()) {
    if (once == nullptr || func == nullptr) {
        return EINVAL;
    }
    if (!once->done) {
        if (InterlockedIncrement(&once->started) == 0) {
            func();
            InterlockedExchange(reinterpret_cast<volatile LONG*>(&once->done), TRUE);
        } else {
            int round = 0;
            while (!*static_cast<volatile int*>(&once->done)) {
                morvel::runtime::Backoff(round);
            }
        }
    }
    return 0;
}

int __gthr_win32_key_create(unsigned long* key, void (*dtor)(void*)) {
    const DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES) {
        return static_cast<int>(GetLastError());
    }
    if (!morvel::runtime::RecordKey(index)) {
        TlsFree(index);
        return EAGAIN;
    }
    *key = index;
    return dtor != nullptr ? __mingwthr_key_dtor(index, dtor) : 0;
}

int __gthr_win32_key_delete(unsigned long key) {
    morvel::runtime::ForgetKey(key);
    __mingwthr_remove_key_dtor(key);
    return TlsFree(key) ? 0 : static_cast<int>(GetLastError());
}

void* __gthr_win32_getspecific(unsigned long key) {
    const DWORD lastError = GetLastError();
    void* value = TlsGetValue(key);
    SetLastError(lastError);
    return value;
}

int __gthr_win32_setspecific(unsigned long key, const void* value) {
    return TlsSetValue(key, const_cast<void*>(value)) ? 0 : static_cast<int>(GetLastError());
}

void __gthr_win32_mutex_init_function(__gthread_mutex_t* mutex) {
    mutex->counter = -1;
    mutex->sema = nullptr;
}

void __gthr_win32_mutex_destroy(__gthread_mutex_t*) {}

int __gthr_win32_mutex_trylock(__gthread_mutex_t* mutex) {
    return InterlockedCompareExchange(&mutex->counter, 0, -1) == -1 ? 0 : 1;
}

int __gthr_win32_mutex_lock(__gthread_mutex_t* mutex) {
    int round = 0;
    while (__gthr_win32_mutex_trylock(mutex) != 0) {
        morvel::runtime::Backoff(round);
    }
    return 0;
}

int __gthr_win32_mutex_unlock(__gthread_mutex_t* mutex) {
    InterlockedExchange(&mutex->counter, -1);
    return 0;
}

void __gthr_win32_recursive_mutex_init_function(__gthread_recursive_mutex_t* mutex) {
    mutex->counter = -1;
    mutex->depth = 0;
    mutex->owner = 0;
    mutex->sema = nullptr;
}

int __gthr_win32_recursive_mutex_destroy(__gthread_recursive_mutex_t*) {
    return 0;
}

int __gthr_win32_recursive_mutex_trylock(__gthread_recursive_mutex_t* mutex) {
    const DWORD self = GetCurrentThreadId();
    if (mutex->owner == self) {
        ++mutex->depth;
        return 0;
    }
    if (InterlockedCompareExchange(&mutex->counter, 0, -1) != -1) {
        return 1;
    }
    mutex->owner = self;
    mutex->depth = 1;
    return 0;
}

int __gthr_win32_recursive_mutex_lock(__gthread_recursive_mutex_t* mutex) {
    int round = 0;
    while (__gthr_win32_recursive_mutex_trylock(mutex) != 0) {
        morvel::runtime::Backoff(round);
    }
    return 0;
}

int __gthr_win32_recursive_mutex_unlock(__gthread_recursive_mutex_t* mutex) {
    if (--mutex->depth == 0) {
        mutex->owner = 0;
        InterlockedExchange(&mutex->counter, -1);
    }
    return 0;
}

} // extern "C"
