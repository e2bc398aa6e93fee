// Owners of the Windows handles the plug-in's windows hold: GDI objects,
// memory DCs and registry keys (UniqueHandle), a window's DC, an object
// selected into a DC.
#pragma once

#include "contract/unique_handle.h"

#include <windows.h>

namespace morvel::win {

using UniqueFont = UniqueHandle<HFONT, CloseWith<&DeleteObject>>;
using UniqueBitmap = UniqueHandle<HBITMAP, CloseWith<&DeleteObject>>;
using UniqueBrush = UniqueHandle<HBRUSH, CloseWith<&DeleteObject>>;
using UniqueMemoryDC = UniqueHandle<HDC, CloseWith<&DeleteDC>>;
using UniqueKey = UniqueHandle<HKEY, CloseWith<&RegCloseKey>>;

// A screen or window DC that remembers its window.
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDC() {
        if (m_dc != nullptr) {
            ReleaseDC(m_window, m_dc);
        }
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object into a DC while it lives, and the one before back after.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(m_dc, m_previous); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace morvel::win
