// Reading the x87 and SSE floating-point state in the tests.
#pragma once

#include <cstdint>

namespace morvel::test {

inline std::uint16_t ControlWord() {
    std::uint16_t cw = 0;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

inline std::uint16_t StatusWord() {
    std::uint16_t sw = 0;
    asm volatile("fnstsw %0" : "=m"(sw));
    return sw;
}

inline std::uint32_t Mxcsr() {
    std::uint32_t v = 0;
    asm volatile("stmxcsr %0" : "=m"(v));
    return v;
}

} // namespace morvel::test
