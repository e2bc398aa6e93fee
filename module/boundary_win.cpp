#include "module/boundary_win.h"

#include <windows.h>

namespace morvel {

namespace {

constexpr std::uint16_t kX87AllMasked = 0x003F;
constexpr std::uint32_t kSseAllMasked = 0x1F80;

// Processors without SSE, which Windows XP still runs on, have no MXCSR: its
// instructions would fault there.
bool HasMxcsr() {
    static const bool has = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
    return has;
}

} // namespace

FpuGuard::FpuGuard() noexcept {
    asm volatile("fnstcw %0" : "=m"(m_controlWord));
    std::uint16_t masked = m_controlWord | kX87AllMasked;
    asm volatile("fldcw %0" : : "m"(masked));
    if (HasMxcsr()) {
        asm volatile("stmxcsr %0" : "=m"(m_mxcsr));
        std::uint32_t sse = m_mxcsr | kSseAllMasked;
        asm volatile("ldmxcsr %0" : : "m"(sse));
    }
}

FpuGuard::~FpuGuard() {
    // x87 flags raised inside the plug-in would fault in the host's next
    // floating-point instruction once its unmasked control word is back, so
    // they are cleared first. MXCSR goes back as it was, status included:
    // SSE flags never fault by themselves.
    asm volatile("fnclex");
    asm volatile("fldcw %0" : : "m"(m_controlWord));
    if (HasMxcsr()) {
        asm volatile("ldmxcsr %0" : : "m"(m_mxcsr));
    }
}

} // namespace morvel
