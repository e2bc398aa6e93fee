// What every entry from the host (an export, a window procedure, a hook) does
// on the way in and out: the host's floating-point state is kept exactly, and
// no C++ exception gets out. EnterBody is the opening every entry's body
// shares.
#pragma once

#include "module/entry_win.h"
#include "module/module_win.h"

#include <cstdint>
#include <type_traits>

namespace morvel {

// Saves the x87 control word and MXCSR, masks all floating-point exceptions
// for the plug-in's own code, and on the way out clears pending exception
// flags and restores both exactly. (Hosts built with Delphi run with the
// exceptions unmasked: a flag left pending would fault in their next
// floating-point instruction.)
class FpuGuard {
public:
    FpuGuard() noexcept;
    ~FpuGuard();
    FpuGuard(const FpuGuard&) = delete;
    FpuGuard& operator=(const FpuGuard&) = delete;

private:
    std::uint16_t m_controlWord = 0;
    std::uint32_t m_mxcsr = 0;
};

// Runs body inside an FpuGuard; any exception gives fallback instead.
template <class R, class Body>
R Boundary(R fallback, Body&& body) noexcept {
    FpuGuard guard;
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <class Body>
void Boundary(Body&& body) noexcept {
    FpuGuard guard;
    try {
        body();
    } catch (...) {
    }
}

// The opening every body of an entry shares. At process exit only
// byDefault() runs (the module's static objects may be gone). Where
// handsThreadOut says the body may hand the thread to others, the module is
// held first, and while another thread unloads the module the body does not
// run (R() instead: nothing is started that would keep the thread in module
// code). The body runs with the host's floating-point state kept; an
// exception gives R().
template <class Default, class Body>
auto EnterBody(bool handsThreadOut, Default&& byDefault, Body&& body) noexcept
    -> decltype(byDefault()) {
    using R = decltype(byDefault());
    if (ProcessExiting()) {
        return byDefault();
    }
    if (handsThreadOut && !HoldModule() && ModuleDetaching()) {
        return R();
    }
    FpuGuard guard;
    try {
        return body();
    } catch (...) {
        return R();
    }
}

// An export's default: nothing to do.
template <class R>
R NothingToDo() noexcept {
    return R();
}

} // namespace morvel
