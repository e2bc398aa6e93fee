// The parts of the statically linked C++ runtime that would otherwise depend
// on what else the host's process holds, or outlive the module.
//
// Exceptions: GCC's start-up code registers the module's frame table
// (.eh_frame) with libgcc_s_dw2-1.dll instead of the module's own unwinder
// when some other part of the process has already loaded that DLL. The
// module's throws all go through its own, static unwinder, which would then
// know none of the module's functions: every throw would end in
// std::terminate. RegisterFrameTable gives the static unwinder a registration
// of its own in that case.
//
// Thread primitives: the runtime's once flags, mutexes and thread keys are
// the module's own (cxx_runtime_win.cpp). Mutexes hold no kernel object, and
// the per-thread exception state and every thread key the runtime allocates
// are freed when the module unloads, so that loading and unloading the module
// any number of times leaves no TLS index and no handle behind.
//
// Compiled into the DLL itself (plugin/CMakeLists.txt), not into a library.
#pragma once

namespace morvel::runtime {

// At process attach: registers the module's frame table with the static
// unwinder unless it already finds the module's code.
void RegisterFrameTable() noexcept;

// At a dynamic unload, after the module's last throw: undoes
// RegisterFrameTable and frees every thread key the runtime allocated.
void ReleaseRuntime() noexcept;

} // namespace morvel::runtime
