// A call into the DLL through a hand-written thunk in the host's register
// convention (regcall_thunk.S).
#pragma once

#include <cstdint>

extern "C" {

struct RegCallFrame {
    void* fn;
    std::uint32_t eax;
    std::uint32_t edx;
    std::uint32_t ecx;
    std::uint32_t misalign; // bytes below a 16-byte boundary at the call
    std::uint32_t result;
    std::uint32_t espBefore;
    std::uint32_t espAfter;
    std::uint32_t ebx;
    std::uint32_t esi;
    std::uint32_t edi;
    std::uint32_t ebp;
};

extern RegCallFrame g_regCall;
extern std::uint32_t g_regCallSavedEsp;

void MorvelRegCall();
}

// Calls fn(eax, edx, ecx) in the register convention; returns the frame with
// the result and the registers seen after the call.
RegCallFrame RegCall(void* fn, std::uint32_t eax, std::uint32_t edx = 0, std::uint32_t ecx = 0,
                     std::uint32_t misalign = 4);
