// What the code that -fstack-protector-strong and _FORTIFY_SOURCE generate
// calls: the canary every protected function saves in its frame and checks
// before it returns, and the routines called when a check fails. Linked into
// the DLL and the programs in place of GCC's libssp, whose canary comes from
// CryptGenRandom in a constructor (in a DLL, that loads a cryptographic
// provider's DLL inside DllMain, under the loader lock), and whose failure is
// an illegal instruction that an exception handler of the host can catch and
// carry on from, on the overwritten stack.
//
// None of these functions is protected itself: the constructor changes the
// canary that its own check would compare, and the failure routines run when
// the canary of the frame below them is already known to be overwritten.

#include <windows.h>

#include <cstdint>

extern "C" {
// Read by the prologue and epilogue of every protected function.
std::uintptr_t __stack_chk_guard;

[[noreturn]] void __stack_chk_fail();
[[noreturn]] void __chk_fail();
}

namespace {

// Declared by the Windows 8 SDK and later; the numbers are fixed.
constexpr DWORD kProcessorFastFailAvailable = 23;
constexpr DWORD kFastFailStackCookie = 2;
constexpr DWORD kFastFailRangeCheck = 8;

std::uint64_t Mix(std::uint64_t value) {
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

// Before the constructors of the module's own code (priority 101 runs first),
// from what Microsoft's compilers seed their stack cookie with: the time, the
// process and thread, the performance counter, and addresses that vary with
// address-space layout randomisation. Nothing here loads a DLL or takes a
// lock, so it is safe inside DllMain. The lowest byte, the first one an
// overrun reaches, is zero: a string read past its buffer ends there without
// giving the canary away, and a string copied past it cannot write it back.
__attribute__((constructor(101), no_stack_protector)) void SetCanary() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t seed = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    seed = Mix(seed ^ static_cast<std::uint64_t>(counter.QuadPart));
    seed = Mix(seed ^ ((std::uint64_t{GetCurrentProcessId()} << 32) | GetCurrentThreadId()));
    seed = Mix(seed ^ ((std::uint64_t{GetTickCount()} << 32) |
                       reinterpret_cast<std::uintptr_t>(&counter)));
    seed = Mix(seed ^ reinterpret_cast<std::uintptr_t>(&__stack_chk_guard));
    std::uintptr_t canary = static_cast<std::uintptr_t>(seed >> 32) & ~std::uintptr_t{0xFF};
    __stack_chk_guard = canary != 0 ? canary : 0xFF0A0000;
}

// Ends the process without handing the thread to anybody's exception
// handler: those handlers would run on the overwritten stack, and one that
// handles the exception would let the host carry on with it. Windows 8 and
// later end it in the kernel (a fast fail, with its error report); before
// them the report of an unhandled exception is made without raising one, and
// the process ends with the same code, STATUS_STACK_BUFFER_OVERRUN, as
// Microsoft's compilers do for a failed stack cookie.
[[noreturn]] __attribute__((no_stack_protector, noinline)) void FailFast(DWORD kind,
                                                                         void* address) {
    if (IsProcessorFeaturePresent(kProcessorFastFailAvailable)) {
        asm volatile("int $0x29" : : "c"(kind) : "memory");
    }
    EXCEPTION_RECORD record{};
    record.ExceptionCode = STATUS_STACK_BUFFER_OVERRUN;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = address;
    record.NumberParameters = 1;
    record.ExceptionInformation[0] = kind;
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_POINTERS pointers{&record, &context};
    SetUnhandledExceptionFilter(nullptr);
    UnhandledExceptionFilter(&pointers);
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_trap();
}

} // namespace

// A protected function found its canary overwritten.
extern "C" __attribute__((no_stack_protector)) void __stack_chk_fail() {
    FailFast(kFastFailStackCookie, __builtin_return_address(0));
}

// A fortified string or memory function was asked to write past the end of
// its destination; nothing has been written.
extern "C" __attribute__((no_stack_protector)) void __chk_fail() {
    FailFast(kFastFailRangeCheck, __builtin_return_address(0));
}
