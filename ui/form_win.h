// TForm: what the plug-in's two top-level windows share. Both are always on
// top, with a caption, a system menu and a minimise box on a resizable frame;
// both are made hidden, with the current look, per-monitor DPI aware and
// sized for their monitor's pixels per inch; both follow a change of pixels
// per inch; both are released by a message to themselves.
#pragma once

#include "ui/placement.h"
#include "ui/win/window_base.h"

#include <windows.h>

namespace morvel {

class TForm : public win::WindowBase {
public:
    // The message a form is released by: it destroys itself once the current
    // message has been handled.
    static constexpr UINT kReleaseMessage = WM_APP + 1;

protected:
    struct Design {
        const char* className;
        const char* caption;
        int left;
        int top;
        int clientWidth; // at 96 pixels per inch
        int clientHeight;
    };

    // Makes the hidden window of class design.className (registered on first
    // use) at the design position, its client area scaled to its monitor,
    // kept on the monitor's work area; then MakeFonts, MakeControls and
    // LayOut, all inside the look and DPI awareness scopes. Throws Error.
    void CreateForm(const Design& design);

    // The window's pixels per inch.
    int Dpi() const { return m_dpi; }
    // A design length at the window's pixels per inch.
    int Scaled(int designPixels) const;

    void PostRelease();
    // A child window moved and sized to r.
    static void Place(HWND child, const ui::Rect& r);

    // Handles WM_DPICHANGED; false for any other message.
    bool FollowDpi(UINT message, WPARAM wParam, LPARAM lParam);

    // The form's own: its fonts for Dpi(), its child windows, and their
    // places in the client area.
    virtual void MakeFonts() = 0;
    virtual void MakeControls() = 0;
    virtual void LayOut() = 0;

private:
    void FitClientArea(const Design& design);

    int m_dpi = 96;
};

} // namespace morvel
