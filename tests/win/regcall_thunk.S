# Calls a function in the host's register convention the way a host built
# with another compiler does: arguments in EAX, EDX and ECX, a stack that is
# only 4-byte aligned, and known values in the callee-saved registers, which
# are recorded (with ESP) after the call.
#
# struct RegCallFrame (tests/win/regcall.h):
#   0 fn, 4 eax, 8 edx, 12 ecx, 16 misalign, 20 result, 24 espBefore,
#   28 espAfter, 32 ebx, 36 esi, 40 edi, 44 ebp

    .text
    .globl _MorvelRegCall
_MorvelRegCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, _g_regCallSavedEsp
    andl $-16, %esp
    subl _g_regCall+16, %esp
    movl $0x11111111, %ebx
    movl $0x22222222, %esi
    movl $0x33333333, %edi
    movl $0x44444444, %ebp
    movl %esp, _g_regCall+24
    movl _g_regCall+4, %eax
    movl _g_regCall+8, %edx
    movl _g_regCall+12, %ecx
    call *_g_regCall
    movl %eax, _g_regCall+20
    movl %esp, _g_regCall+28
    movl %ebx, _g_regCall+32
    movl %esi, _g_regCall+36
    movl %edi, _g_regCall+40
    movl %ebp, _g_regCall+44
    movl _g_regCallSavedEsp, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
