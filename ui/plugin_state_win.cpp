#include "ui/plugin_state_win.h"

namespace morvel {

TQSOData WorkingRecord;
TfmMainForm* MainWindow = nullptr;
HWND SavedAppHandle = nullptr;
HWND ApplicationHandle = nullptr;

void ForgetMainWindow(const TfmMainForm* form) {
    if (form == nullptr || MainWindow == form) {
        MainWindow = nullptr;
    }
}

} // namespace morvel
