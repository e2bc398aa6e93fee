// The plug-in's root: the one session the exports call, composed for
// Windows (the log query on the host's ODBC connection, the oblast file
// beside the host program, the user locale's key equality, the three
// windows), and the module-wide records the exports keep.
#pragma once

#include "contract/records.h"
#include "session/session.h"

#include <windows.h>

namespace morvel {

// The last contact received (zero until the first).
extern TQSOData WorkingRecord;
// The module's application window handle as it stood at the last _Run. The
// plug-in has no application window of its own, so this stays 0 unless a
// host-facing piece sets ApplicationHandle.
extern HWND SavedAppHandle;
extern HWND ApplicationHandle;

// The session, made at its first use.
Session& Root();
// At a dynamic unload on the windows' thread, once every window is gone: the
// session is freed. On another thread its windows are left inert and it is
// left as it is.
void FreeRoot();

} // namespace morvel
