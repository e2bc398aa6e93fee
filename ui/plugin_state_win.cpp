#include "ui/plugin_state_win.h"

namespace morvel {

TQSOData WorkingRecord;
TfmMainForm* MainWindow = nullptr;
HWND SavedAppHandle = nullptr;
HWND ApplicationHandle = nullptr;

} // namespace morvel
