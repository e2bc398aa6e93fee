#include "ui/form_storage_win.h"

#include "contract/text.h"
#include "module/module_win.h"
#include "ui/win/handles.h"
#include "ui/win/look_win.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <vector>

namespace morvel::ui {

namespace {

// Registry texts longer than this are no settings of ours.
constexpr DWORD kMaxValueBytes = 64 * 1024;

win::UniqueKey OpenSection(const std::string& section) {
    const std::string path = "Software\\" + HostProgramName() + "\\" + section;
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        throw Error("Failed to create key " + path);
    }
    return win::UniqueKey(key);
}

std::optional<std::string> ReadText(HKEY key, const std::string& name) {
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
        throw Error("Failed to get data for '" + name + "'");
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        throw Error("Invalid data type for '" + name + "'");
    }
    if (size > kMaxValueBytes) {
        throw Error("Value '" + name + "' is too long");
    }
    std::vector<char> buffer(size + 1, '\0');
    DWORD got = size;
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                          &got);
    if (rc != ERROR_SUCCESS) {
        throw Error("Failed to get data for '" + name + "'");
    }
    // The stored text ends at its first zero byte (or at its size).
    std::string text(buffer.data(), std::min<DWORD>(got, size));
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos) {
        text.erase(zero);
    }
    return text;
}

void WriteText(HKEY key, const std::string& name, const std::string& value) {
    const LONG rc =
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    if (rc != ERROR_SUCCESS) {
        throw Error("Failed to set data for '" + name + "'");
    }
}

Placement FromWindows(const WINDOWPLACEMENT& wp) {
    return {static_cast<int>(wp.flags),
            static_cast<int>(wp.showCmd),
            {wp.ptMinPosition.x, wp.ptMinPosition.y},
            {wp.ptMaxPosition.x, wp.ptMaxPosition.y},
            {wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
             wp.rcNormalPosition.bottom}};
}

// A window placement's normal rectangle is in workspace coordinates: those
// of the screen less where the primary monitor's work area begins (a taskbar
// at the top or the left).
POINT WorkspaceOrigin() {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info)) {
        return {0, 0};
    }
    return {info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
}

Rect Moved(const Rect& r, long dx, long dy) {
    // 64-bit: a stored rectangle may hold any 32-bit numbers.
    const auto move = [](int v, long d) {
        return static_cast<int>(
            std::clamp<long long>(static_cast<long long>(v) + d, INT_MIN, INT_MAX));
    };
    return {move(r.left, dx), move(r.top, dy), move(r.right, dx), move(r.bottom, dy)};
}

// A normal rectangle (workspace coordinates) kept on a monitor, as
// KeptOnAMonitor keeps a window rectangle.
Rect NormalOnAMonitor(const Rect& normal) {
    const POINT origin = WorkspaceOrigin();
    return Moved(KeptOnAMonitor(Moved(normal, origin.x, origin.y)), -origin.x, -origin.y);
}

// Applies the normal rectangle (and the flags and positions) of wp to the
// window, leaving it hidden or shown as it is.
void ApplyPlacement(HWND window, WINDOWPLACEMENT wp, const Rect& normal) {
    wp.rcNormalPosition = {normal.left, normal.top, normal.right, normal.bottom};
    wp.showCmd = IsWindowVisible(window) ? SW_SHOWNOACTIVATE : SW_HIDE;
    SetWindowPlacement(window, &wp);
}

} // namespace

namespace {

struct ChoiceValue {
    const char* name;
    bool byDefault;
};

ChoiceValue ValueOf(Choice choice) {
    switch (choice) {
    case Choice::MainOnTop:
        return {"MainWindowOnTop", true};
    case Choice::MultipliersOnTop:
        return {"MultipliersOnTop", true};
    case Choice::CheckOnTop:
        return {"MultiplierCheckOnTop", true};
    case Choice::RecalcEvery5Minutes:
        return {"RecalcEvery5Minutes", false};
    }
    return {"", false};
}

constexpr const char* kChoicesSection = "MorvelRussia";

} // namespace

bool ReadChoice(Choice choice) {
    const ChoiceValue value = ValueOf(choice);
    try {
        const win::UniqueKey key = OpenSection(kChoicesSection);
        const std::optional<std::string> text = ReadText(key.Get(), value.name);
        if (text && Trim(*text) == "1") {
            return true;
        }
        if (text && Trim(*text) == "0") {
            return false;
        }
    } catch (const std::exception&) {
        // An unreadable choice is the default one.
    }
    return value.byDefault;
}

void WriteChoice(Choice choice, bool on) {
    try {
        const win::UniqueKey key = OpenSection(kChoicesSection);
        WriteText(key.Get(), ValueOf(choice).name, on ? "1" : "0");
    } catch (const std::exception& e) {
        ShowFailure(e.what());
    }
}

Rect KeptOnAMonitor(const Rect& r) {
    RECT rect{r.left, r.top, r.right, r.bottom};
    const bool meets = MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) {
        return r;
    }
    const RECT& w = info.rcWork;
    return KeptOnWorkArea(r, meets, {w.left, w.top, w.right, w.bottom});
}

void KeepOnMonitor(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r)) {
        return;
    }
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) {
        return;
    }
    const RECT& w = info.rcWork;
    const Rect fitted =
        FitInto({r.left, r.top, r.right, r.bottom}, {w.left, w.top, w.right, w.bottom});
    if (fitted != Rect{r.left, r.top, r.right, r.bottom}) {
        SetWindowPos(window, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                     fitted.bottom - fitted.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Screen CurrentScreen() {
    win::WindowDC dc(nullptr);
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
            dc.Get() != nullptr ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96};
}

FormStorage::FormStorage(std::string section, bool mainWindow)
    : m_section(std::move(section)), m_mainWindow(mainWindow) {}

int FormStorage::Restore(HWND window) {
    m_saved = false;
    m_read = true;
    m_applied = false;
    try {
        // Read as the window's own procedures write (see WriteValues).
        win::DpiAwarenessScope dpi(window);
        win::UniqueKey key = OpenSection(m_section);
        const ValueReader read = [&key](const std::string& name) {
            return ReadText(key.Get(), name);
        };
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(window, &wp);
        const auto stored = StoredPlacement(read, CurrentScreen(), FromWindows(wp), m_mainWindow);
        if (m_mainWindow && m_currentBand != nullptr) {
            *m_currentBand = read("CurrentBand").value_or("0");
        }
        if (!stored) {
            return SW_SHOWNORMAL;
        }
        wp.flags = static_cast<UINT>(stored->flags) & (WPF_SETMINPOSITION | WPF_RESTORETOMAXIMIZED);
        wp.ptMinPosition = {stored->minPosition.x, stored->minPosition.y};
        wp.ptMaxPosition = {stored->maxPosition.x, stored->maxPosition.y};
        ApplyPlacement(window, wp, NormalOnAMonitor(stored->normal));
        m_applied = true;
        // The system may have placed it otherwise (its coordinates are 16
        // bits wide, its size kept to the tracking limits): where it is now
        // is kept on a monitor too.
        WINDOWPLACEMENT applied{};
        applied.length = sizeof applied;
        if (GetWindowPlacement(window, &applied)) {
            const Rect now = FromWindows(applied).normal;
            if (const Rect kept = NormalOnAMonitor(now); kept != now) {
                ApplyPlacement(window, wp, kept);
            }
        }
        return stored->showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    } catch (const std::exception& e) {
        m_readFailed = true;
        ShowFailure(e.what());
        return SW_SHOWNORMAL;
    }
}

void FormStorage::Save(HWND window, bool destroying) {
    // A window never shown (its construction failed) has nothing of its own
    // to store, and must not overwrite what is stored.
    if (m_saved || !m_read || m_readFailed || window == nullptr) {
        return;
    }
    m_saved = true;
    try {
        WriteValues(window, destroying, false);
    } catch (const std::exception& e) {
        ShowFailure(e.what());
    }
}

void FormStorage::Write(HWND window) {
    if (!m_read || m_readFailed || m_writeFailed || window == nullptr) {
        return;
    }
    try {
        WriteValues(window, false, true);
    } catch (const std::exception& e) {
        m_writeFailed = true;
        ShowFailure(e.what());
    }
}

void FormStorage::Follow(HWND window, UINT message) {
    switch (message) {
    case WM_ENTERSIZEMOVE:
        m_inSizeMove = true;
        break;
    case WM_EXITSIZEMOVE:
        m_inSizeMove = false;
        Write(window);
        break;
    case WM_WINDOWPOSCHANGED:
        if (!m_inSizeMove) {
            Write(window);
        }
        break;
    default:
        break;
    }
}

void FormStorage::WriteValues(HWND window, bool destroying, bool changedOnly) {
    // The placement and the screen in the window's DPI awareness, whichever
    // thread awareness the caller runs in: a host that is not DPI aware sees
    // 96 pixels per inch and scaled-down coordinates where the window's
    // procedures see 144 and the real ones (at 150 %), and a placement
    // written in one and read in the other would never apply again.
    win::DpiAwarenessScope dpi(window);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(window, &wp)) {
        throw Error("Cannot read the window placement");
    }
    // A window that the system or a program put where no monitor is, or
    // made larger than the work area, is stored where it will show.
    Placement placement = FromWindows(wp);
    placement.normal = NormalOnAMonitor(placement.normal);
    const auto values = PlacementValues(
        placement, CurrentScreen(), destroying,
        m_mainWindow ? std::optional<std::string>(m_currentBand != nullptr ? *m_currentBand : "0")
                     : std::nullopt);
    if (changedOnly && values == m_written) {
        return; // most placement messages change nothing that is stored
    }
    win::UniqueKey key = OpenSection(m_section);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool same = i < m_written.size() && m_written[i] == values[i];
        if (!changedOnly || !same) {
            WriteText(key.Get(), values[i].first, values[i].second);
        }
    }
    m_written = values;
}

} // namespace morvel::ui
