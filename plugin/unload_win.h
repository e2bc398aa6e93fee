// What the module does when it is unmapped while the process goes on.
#pragma once

namespace morvel {

// A dynamic unload (DllMain, DLL_PROCESS_DETACH without process exit). On the
// thread that owns the plug-in's windows: every window is destroyed as at any
// destruction (settings written, failures not shown), then the window classes
// are unregistered and the session freed. On another thread, where no window
// can be destroyed: the windows are made inert (system window procedures
// only, no code of this module) and stay until the operator closes them or
// the plug-in starts again; their settings are not written, and the session
// is left as it is.
void UnloadModule();

} // namespace morvel
