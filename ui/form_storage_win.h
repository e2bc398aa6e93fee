// A window's persistent settings in the registry: HKCU "Software\<host program
// name>\<window class>", every value a text (FormStorage), and the plug-in's
// own choices made in the windows' system menus (Choice). Settings are written
// when they change (a band chosen or followed, a placement changed outside a
// drag), only the values that changed, and in full at a close or destruction.
#pragma once

#include "ui/placement.h"

#include <windows.h>

#include <optional>
#include <string>

namespace morvel::ui {

// One window's settings. Restore, Save and Write work in the window's DPI
// awareness (coordinates, screen size and pixels per inch as the window sees
// them), whichever awareness the calling thread has.
class FormStorage {
public:
    // section: the sub-key (the window's class name). mainWindow: the window
    // also keeps its state and the value CurrentBand.
    FormStorage(std::string section, bool mainWindow);

    // Reads the stored placement and applies it to the (hidden) window. Returns
    // the show command to show the window with. A failure is shown to the
    // operator; the window then keeps its place and will not save later.
    int Restore(HWND window);
    // Whether the last Restore applied a stored placement.
    bool Applied() const { return m_applied; }

    // Writes the window's placement (and CurrentBand) unless saved since the
    // last read, never read, or the read failed. A failure is shown to the
    // operator.
    void Save(HWND window, bool destroying);

    // Writes those of the same values that differ from what this window last
    // wrote, whether or not saved since the last read: a change (a move or
    // resize ended, the window minimised or moved by the system, a new band)
    // reaches the store at once, so that a host that ends without releasing
    // the plug-in loses nothing. Nothing before a read or after a failed one.
    // A failure is shown once; later changes are then not written.
    void Write(HWND window);

    // Follows the window's placement: the values are written when a move or
    // resize by the operator ends, and at any other change of placement (a
    // minimise, a restore, a move by the system or the host), never during a
    // drag.
    void Follow(HWND window, UINT message);

    // The text that the stored value CurrentBand is read into and written
    // from (the session keeps it).
    void KeepCurrentBandIn(std::string& value) { m_currentBand = &value; }

private:
    std::string m_section;
    bool m_mainWindow;
    std::string* m_currentBand = nullptr;
    // All values, or with changedOnly those that differ from m_written.
    void WriteValues(HWND window, bool destroying, bool changedOnly);

    bool m_read = false;
    bool m_applied = false;
    bool m_readFailed = false;
    bool m_writeFailed = false;
    bool m_saved = false;
    bool m_inSizeMove = false;
    Values m_written; // as last written, in writing order
};

// The plug-in's own choices, made in the windows' system menus and kept in
// the sub-key "MorvelRussia" beside the windows' own (never among their
// values): "1" or "0"; a value missing or unreadable gives the default.
enum class Choice {
    MainOnTop,           // "MainWindowOnTop", on by default
    MultipliersOnTop,    // "MultipliersOnTop", on by default
    CheckOnTop,          // "MultiplierCheckOnTop", on by default
    RecalcEvery5Minutes, // "RecalcEvery5Minutes", off by default
};
bool ReadChoice(Choice choice);
// Stores the choice; a failure is shown to the operator.
void WriteChoice(Choice choice, bool on);

// Moves a window that does not lie wholly on its monitor's work area onto it
// (shrinking it if it is larger).
void KeepOnMonitor(HWND window);

// A window rectangle (screen coordinates) as it may be applied or stored:
// itself when it meets a monitor and is no larger than that monitor's work
// area, else fitted into the work area of the monitor it meets most or lies
// nearest to (KeptOnWorkArea).
Rect KeptOnAMonitor(const Rect& r);

// The screen as the settings describe it: primary monitor size and pixels per
// inch, as the calling thread's DPI awareness sees them (FormStorage reads
// and writes in the window's).
Screen CurrentScreen();

} // namespace morvel::ui
