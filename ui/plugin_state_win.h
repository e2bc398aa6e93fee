// The plug-in's module-wide state: the contact last received, the main window
// and the application window handle. (The open multipliers window is
// TfmDomList's to know: DomWindow() in domlist_win.h.)
#pragma once

#include "contract/records.h"

#include <windows.h>

namespace morvel {

class TfmMainForm;

// The last contact received (zero until the first).
extern TQSOData WorkingRecord;
// The one main window; the plug-in counts as running exactly while it is set.
// _Run sets it; it is cleared only through ForgetMainWindow.
extern TfmMainForm* MainWindow;
// The plug-in stops running with this window (a release, a close, its
// destruction): MainWindow is cleared when it is this one. nullptr: whichever.
void ForgetMainWindow(const TfmMainForm* form);
// The module's application window handle as it stood at the last _Run. The
// plug-in has no application window of its own, so this stays 0 unless a
// host-facing piece sets ApplicationHandle.
extern HWND SavedAppHandle;
extern HWND ApplicationHandle;

} // namespace morvel
