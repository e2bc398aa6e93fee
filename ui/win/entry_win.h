// The ways into the module from code outside it, and the module held mapped
// while its code runs.
//
// Every function that code outside the module calls (the exports, the window
// procedures, the subclass procedure) is an entry stub made by MORVEL_ENTRY
// around a body. The stubs count the module's entries on the stack. Code that
// hands the thread to others (a message pump, a message box, a window
// procedure whose default handling runs a modal loop) first calls HoldModule,
// which takes a reference on the module: a FreeLibrary from the host meanwhile
// then cannot unmap the code it returns to. When the outermost entry returns,
// its stub drops that reference by jumping to a few bytes of code outside the
// module image that call FreeLibrary and return straight to the caller: a
// FreeLibrary that came while module code ran takes effect then, and no code
// of the module is left on the stack to return to.
#pragma once

#include <windows.h>

extern "C" {
// How many entries of the module are on the stack.
extern long MorvelEntryDepth;
// The exit code outside the module image, or nullptr (then a held reference
// is never dropped and the module stays loaded, which is safe).
extern void* MorvelExitThunk;
// Called by every stub after its body: the reference to drop on the way out
// (the outermost entry returns and the module is held), or nullptr.
HMODULE MorvelLeaveEntry() noexcept;
}

namespace morvel {

// Keeps the module mapped until the outermost entry on the stack returns.
void HoldModule() noexcept;

// At process attach: makes the exit code outside the module image. At a
// dynamic unload: frees it, unless it is what runs the unload (then the few
// bytes stay for the rest of the process, as they are being returned through).
void MakeExitThunk() noexcept;
void FreeExitThunk() noexcept;

} // namespace morvel

// Defines the entry stub `entry` around `body`, both given as assembler symbol
// names, for a function that takes `bytes` bytes of stack arguments and
// removes them (stdcall; 0 for the host's register convention, whose arguments
// in EAX, EDX and ECX reach the body untouched). The body must be noexcept.
// The stub copies the arguments, calls the body and keeps its result in EAX;
// when MorvelLeaveEntry names a reference to drop, it removes its own frame
// and the arguments and jumps to the exit code, which calls FreeLibrary on
// that reference and returns the result to the caller.
#define MORVEL_ENTRY(entry, body, bytes)                                                           \
    asm(".text\n"                                                                                  \
        ".globl " entry "\n"                                                                       \
        ".def " entry "; .scl 2; .type 32; .endef\n" entry ":\n"                                   \
        "    lock incl _MorvelEntryDepth\n"                                                        \
        "    .rept " #bytes " / 4\n"                                                               \
        "    pushl " #bytes "(%esp)\n"                                                             \
        "    .endr\n"                                                                              \
        "    call " body "\n"                                                                      \
        "    pushl %eax\n"                                                                         \
        "    call _MorvelLeaveEntry\n"                                                             \
        "    testl %eax, %eax\n"                                                                   \
        "    jnz 1f\n"                                                                             \
        "    popl %eax\n"                                                                          \
        "    ret $" #bytes "\n"                                                                    \
        "1:\n"                                                                                     \
        "    popl %ecx\n"                                                                          \
        "    popl %edx\n"                                                                          \
        "    addl $" #bytes ", %esp\n"                                                             \
        "    pushl %edx\n"                                                                         \
        "    pushl %ecx\n"                                                                         \
        "    pushl %eax\n"                                                                         \
        "    jmp *_MorvelExitThunk\n")
