// The boundary every entry of the DLL opens with (module/boundary_win.h),
// under a host's unmasked floating-point state: FpuGuard masks inside, clears
// the flags raised and restores the state exactly; Boundary turns an exception
// into the fallback.
#include "module/boundary_win.h"

#include "fpu_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

namespace morvel {
namespace {

using test::ControlWord;
using test::Mxcsr;
using test::StatusWord;

struct HostFpu {
    std::uint16_t cw;
    std::uint32_t mxcsr;
};

// Runs body under a host's unmasked floating-point state and reports the
// state seen afterwards, back under relaxed settings.
// (The x87 reports reserved control-word bit 6 as set, so the host's state is
// what reads back after loading it.)
template <class Body>
HostFpu UnderHostState(HostFpu& host, std::uint16_t* statusAfter, Body body) {
    asm volatile("fnclex");
    asm volatile("fldcw %0" : : "m"(host.cw));
    asm volatile("ldmxcsr %0" : : "m"(host.mxcsr));
    host = {ControlWord(), Mxcsr()};
    body();
    const HostFpu after{ControlWord(), Mxcsr()};
    *statusAfter = StatusWord();
    const std::uint16_t relaxed = 0x037F;
    const std::uint32_t relaxedSse = 0x1F80;
    asm volatile("fnclex");
    asm volatile("fldcw %0" : : "m"(relaxed));
    asm volatile("ldmxcsr %0" : : "m"(relaxedSse));
    return after;
}

TEST(FpuGuard, MasksInsideClearsRaisedFlagsAndRestoresExactly) {
    HostFpu delphi{0x1332, 0x1900};
    std::uint16_t insideCw = 0;
    std::uint32_t insideMxcsr = 0;
    std::uint16_t status = 0xFFFF;
    const HostFpu after = UnderHostState(delphi, &status, [&] {
        FpuGuard guard;
        insideCw = ControlWord();
        insideMxcsr = Mxcsr();
        // 1/0 on the x87: a zero-divide flag, harmless only while masked.
        asm volatile("fldz\n\tfld1\n\tfdivp\n\tfstp %%st(0)" ::: "memory");
    });
    EXPECT_EQ(insideCw & 0x3F, 0x3F);
    EXPECT_EQ(insideMxcsr & 0x1F80, 0x1F80u);
    EXPECT_EQ(after.cw, delphi.cw);
    EXPECT_EQ(after.mxcsr, delphi.mxcsr);
    EXPECT_EQ(status & 0x3F, 0) << "a pending flag would fault in the host";
}

TEST(Boundary, TurnsExceptionsIntoTheFallback) {
    EXPECT_EQ(Boundary(7, []() -> int { throw std::runtime_error("x"); }), 7);
    EXPECT_EQ(Boundary(7, []() -> int { throw 42; }), 7);
    EXPECT_EQ(Boundary(7, [] { return 3; }), 3);
    bool ran = false;
    Boundary([&] {
        ran = true;
        throw std::logic_error("y");
    });
    EXPECT_TRUE(ran);
}

} // namespace
} // namespace morvel
