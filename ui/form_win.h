// TForm: the skeleton of the plug-in's three top-level windows (the main
// window, the multipliers window and the multiplier check). Each is always on
// top, with a caption, a system menu and a minimise box on a resizable frame;
// each is made hidden, with the current look, per-monitor DPI aware and sized
// for its monitor's pixels per inch, and follows a change of pixels per inch.
// TForm handles the messages they share - the size, the placement followed
// and saved, "Always on top", the close, the destroy message, the
// destruction - and gives them a window made or its object deleted, and a
// message posted to themselves once.
#pragma once

#include "ui/form_storage_win.h"
#include "ui/placement.h"
#include "ui/win/window_base.h"

#include <optional>
#include <utility>

#include <windows.h>

namespace morvel {

class TForm : public win::WindowBase {
public:
    // The message a form posts itself to be destroyed once the current
    // message has been handled (a form's release, as the host's framework
    // says; not the host's _Release).
    static constexpr UINT kDestroyMessage = WM_APP + 1;

    // The plug-in's items in the windows' system menus (WM_SYSCOMMAND codes:
    // multiples of 16 below the system's own).
    static constexpr UINT kMenuMultiplierCheck = 0x1010;
    static constexpr UINT kMenuAlwaysOnTop = 0x1020;
    static constexpr UINT kMenuRecalcEvery5Minutes = 0x1030;

    // Closed by the operator (or destroyed), waiting for its destruction.
    bool Closed() const { return m_closed; }

protected:
    // storageKey: the registry key of the window's settings; bandStored: the
    // main window's, which keep CurrentBand too. onTop: the choice its
    // "Always on top" keeps.
    TForm(const char* storageKey, bool bandStored, ui::Choice onTop)
        : m_storage(storageKey, bandStored), m_onTop(onTop) {}

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
    // CreateForm for a new form object: on a failure the half-made window is
    // destroyed (the object goes with it) or the object deleted, and the
    // failure travels on.
    static void CreateOrDelete(TForm* form, const Design& design);

    // The window's pixels per inch.
    int Dpi() const { return m_dpi; }
    // A design length at the window's pixels per inch.
    int Scaled(int designPixels) const;

    void PostDestroy();
    // Posts the window a message of its own unless one is on its way
    // (posted); when it cannot be posted, now runs at once.
    template <class Now>
    void PostOnce(UINT message, bool& posted, Now&& now) {
        if (!posted && Handle() != nullptr) {
            posted = PostMessageA(Handle(), message, 0, 0) != FALSE;
        }
        if (!posted) {
            now();
        }
    }
    // Whether a destroy message of this window's own is due (and no longer
    // after the call): another program's message of the same number
    // destroys nothing.
    bool TakeDestroy() { return std::exchange(m_destroyPosted, false); }
    // A child window moved and sized to r.
    static void Place(HWND child, const ui::Rect& r);

    // Handles WM_DPICHANGED (fonts, size, layout for the new pixels per inch;
    // nothing for a message without a rectangle that can be read, or without
    // a change); false for any other message.
    bool FollowDpi(UINT message, WPARAM wParam, LPARAM lParam);

    // An item of the plug-in's at the end of the system menu (the first one
    // after a separator); checked: shown with a check mark.
    void AddMenuItem(UINT id, const char* text, std::optional<bool> checked = std::nullopt);
    void CheckMenuItem(UINT id, bool checked);
    // "Always on top" for this window, as the choice says: applied, shown in
    // the system menu's item and, when store, kept.
    void ApplyOnTop(ui::Choice choice, bool on, bool store);
    // The system menu's "Always on top" chosen: the other way now, and kept.
    void ToggleOnTop(ui::Choice choice);

    // The form's own: its fonts for Dpi(), its child windows, and their
    // places in the client area.
    virtual void MakeFonts() = 0;
    virtual void MakeControls() = 0;
    virtual void LayOut() = 0;

    // The messages every form handles alike; the rest go to FormMessage.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
    virtual LRESULT FormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        return Default(message, wParam, lParam);
    }
    // WM_CLOSE: by default the settings are saved, the window hidden and
    // destroyed by its destroy message, and it counts as closed.
    virtual void OnClose();
    // Its own destroy message: by default destroyed now.
    virtual void OnDestroyMessage();
    // WM_DESTROY, once the settings are saved.
    virtual void OnDestroy() {}
    // The pixels per inch changed and the window follows them.
    virtual void OnDpiChanged() {}
    // Whether moves and sizes are followed into the stored settings.
    virtual bool FollowsPlacement() const { return true; }

    ui::FormStorage m_storage;

private:
    void FitClientArea(const Design& design);

    ui::Choice m_onTop;
    int m_dpi = 96;
    bool m_controlsMade = false;
    bool m_closed = false;
    bool m_menuSeparated = false;
    bool m_destroyPosted = false;
};

} // namespace morvel
