// The ways into the module from code outside it, and the module held mapped
// while its code hands the thread to others.
//
// Every function that code outside the module calls (the exports, the window
// procedures, the subclass procedure) is an entry stub, a few lines of
// assembly made by MORVEL_STDCALL_ENTRY (window and subclass procedures: the
// compiler checks the stack bytes against the body's arguments),
// MORVEL_HOST_ENTRY or MORVEL_HOST_WINDOW_ENTRY (the exports: the body must
// be of the contract's type) around a noexcept body. The stubs count the
// module's entries on the stack.
//
// Code that hands the thread to others (a message pump, a message box, the
// default handling of a message that runs a modal loop or activates another
// window) first calls HoldModule, which takes a reference on the module: a
// FreeLibrary meanwhile, on this thread or another, then cannot unmap the code
// it returns to. When the outermost entry returns, its stub drops that
// reference by jumping to a few bytes of code outside the module image that
// call FreeLibrary and return straight to the caller: a FreeLibrary that came
// while module code ran takes effect then, and no code of the module is left
// on the stack to return to.
//
// Nothing of this waits for the loader's lock, which another thread may hold
// while it waits for this one (a DllMain that sends to the plug-in's window).
// The hold is taken only when the lock is free at once, and the outermost
// entry drops it while holding the lock it found free (on the loaders that
// have no other lock), or else on a short-lived thread of its own. An
// ordinary message (painting, the mouse, timers, a contact's statistics)
// takes no hold at all. An unload from another thread that meets module code
// without a hold on the windows' thread waits in DllMain until that code has
// returned (AwaitModuleCodeLeft); module code never waits for the loader's
// lock meanwhile, so the two cannot deadlock.
#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>

extern "C" {
// How many entries of the module are on the stack, on every thread.
extern long MorvelEntryDepth;
// The exit code outside the module image, or nullptr (then a held reference
// is never dropped and the module stays loaded, which is safe).
extern void* MorvelExitThunk;
// What the exit code does besides FreeLibrary: let the loader's lock go
// (cookie), and turn a result that names a window no longer there into 0.
inline constexpr ULONG kExitUnlock = 1;
inline constexpr ULONG kExitWindowResult = 2;
struct MorvelExit {
    ULONG flags;
    ULONG_PTR cookie;
};
// Called by every stub after its body, with the stub's kind (0, or
// kExitWindowResult for an entry that returns a window) and room for the
// exit code's flags and cookie: the reference to drop on the way out (the
// outermost entry returns and the module is held), or nullptr.
HMODULE MorvelLeaveEntry(ULONG kind, MorvelExit* exit) noexcept;
}

namespace morvel {

// Keeps the module mapped until the outermost entry on the stack returns.
// Never waits for the loader's lock: false when the module could not be held
// (another thread is unloading it, or holds the loader's lock right now); the
// caller then does not hand the thread to others where it can help it.
bool HoldModule() noexcept;

// Whether the handling of a window message, by the module and the system's
// default procedures, runs no code of others (the host's windows, a modal
// loop): painting, the mouse over a window, timers, sizes, texts, colours,
// custom drawing. Such a message needs no hold.
bool OrdinaryMessage(UINT message, LPARAM lParam) noexcept;

// Whether a message's record of size bytes at lParam lies on the live part of
// this thread's stack, where the records of the messages a thread's own
// controls send it lie; then it can be read. A record another program posted
// or sent does not.
bool RecordOnThisStack(LPARAM lParam, std::size_t size) noexcept;

// Whether another thread is unloading the module right now: module code that
// runs meanwhile (on the windows' thread) only finishes what it is doing.
bool ModuleDetaching() noexcept;

// At process attach: finds the exit code that an earlier load of the module
// left in the process, or makes it (once per process, then read and execute
// only; it is never freed), and looks up what HoldModule needs.
void MakeExitThunk() noexcept;

// In DllMain, when another thread unloads the module: from now on module code
// takes no hold.
void BeginDetach() noexcept;

// Then, once the windows have lost the module's procedures: returns once no
// thread runs module code, as far as the system lets this be seen (see the
// README), or after a bound of some seconds. window: a window of the windows'
// thread, or nullptr.
void AwaitModuleCodeLeft(DWORD windowThread, HWND window) noexcept;

} // namespace morvel

namespace morvel {

// The stack bytes a body's arguments take, as a stdcall caller pushes them.
template <class F>
struct ArgumentBytes;
template <class R, class... A>
struct ArgumentBytes<R(A...) noexcept> {
    static constexpr int value = (0 + ... + static_cast<int>((sizeof(A) + 3) / 4 * 4));
};

} // namespace morvel

// Defines the entry stub `entry`, a stdcall function of `bytes` bytes of
// stack arguments (a window or subclass procedure), around `body`, a noexcept
// C function of the same arguments. The compiler checks `bytes` against the
// body's arguments, the linker against the entry's own declaration (its
// decorated name ends in @bytes).
#define MORVEL_STDCALL_ENTRY(entry, body, bytes)                                                   \
    static_assert(::morvel::ArgumentBytes<decltype(body)>::value == (bytes),                       \
                  #body "'s arguments do not take " #bytes " bytes");                              \
    MORVEL_ENTRY_STUB("_" #entry "@" #bytes, "_" #body, bytes, 0)

// Defines the entry stub `entry`, an export in the host's register convention
// (its arguments in EAX, EDX and ECX, none on the stack), around `body`, which
// must be of the contract's type `Proc` (contract/contract.h).
#define MORVEL_HOST_ENTRY(entry, body, Proc)                                                       \
    static_assert(std::is_convertible_v<decltype(&body), Proc>, #body " is no " #Proc);            \
    MORVEL_ENTRY_STUB("_" #entry, "_" #body, 0, 0)

// The same for an export whose result is a window handle: when the module
// goes as it returns, the window went with it, and the result is 0.
#define MORVEL_HOST_WINDOW_ENTRY(entry, body, Proc)                                                \
    static_assert(std::is_convertible_v<decltype(&body), Proc>, #body " is no " #Proc);            \
    MORVEL_ENTRY_STUB("_" #entry, "_" #body, 0, 2)

// The stub itself, given the two assembler symbols: it counts the entry,
// copies the `bytes` bytes of stack arguments for the body, calls it and
// removes the copy, keeping the body's result on the stack with room below
// it for MorvelLeaveEntry's MorvelExit. When MorvelLeaveEntry names a
// reference to drop, the stub lays out the stack as the exit code takes it
// (the module, the flags, the cookie, the result, the return address: its
// own arguments removed) and jumps to it; else it returns, removing the
// arguments. `kind` is MorvelLeaveEntry's first argument.
#define MORVEL_ENTRY_STUB(entry, body, bytes, kind)                                                \
    asm(".text\n"                                                                                  \
        ".globl " entry "\n"                                                                       \
        ".def " entry "; .scl 2; .type 32; .endef\n" entry ":\n"                                   \
        "    lock incl _MorvelEntryDepth\n"                                                        \
        "    .rept " #bytes " / 4\n"                                                               \
        "    pushl " #bytes "(%esp)\n"                                                             \
        "    .endr\n"                                                                              \
        "    call " body "\n"                                                                      \
        "    .if " #bytes "\n"                                                                     \
        "    addl $" #bytes ", %esp\n"                                                             \
        "    .endif\n"                                                                             \
        "    pushl %eax\n"                                                                         \
        "    subl $8, %esp\n"                                                                      \
        "    movl %esp, %ecx\n"                                                                    \
        "    pushl %ecx\n"                                                                         \
        "    pushl $" #kind "\n"                                                                   \
        "    call _MorvelLeaveEntry\n"                                                             \
        "    addl $8, %esp\n"                                                                      \
        "    testl %eax, %eax\n"                                                                   \
        "    jnz 1f\n"                                                                             \
        "    addl $8, %esp\n"                                                                      \
        "    popl %eax\n"                                                                          \
        "    ret $" #bytes "\n"                                                                    \
        "1:\n"                                                                                     \
        "    .if " #bytes "\n"                                                                     \
        "    movl 12(%esp), %ecx\n"                                                                \
        "    movl %ecx, 12+" #bytes "(%esp)\n"                                                     \
        "    movl 8(%esp), %ecx\n"                                                                 \
        "    movl %ecx, 8+" #bytes "(%esp)\n"                                                      \
        "    movl 4(%esp), %ecx\n"                                                                 \
        "    movl %ecx, 4+" #bytes "(%esp)\n"                                                      \
        "    movl (%esp), %ecx\n"                                                                  \
        "    movl %ecx, " #bytes "(%esp)\n"                                                        \
        "    movl %eax, " #bytes "-4(%esp)\n"                                                      \
        "    addl $" #bytes "-4, %esp\n"                                                           \
        "    .else\n"                                                                              \
        "    pushl %eax\n"                                                                         \
        "    .endif\n"                                                                             \
        "    jmp *_MorvelExitThunk\n")
