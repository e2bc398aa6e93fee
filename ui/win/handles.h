// One small move-only owner for Windows handles.
#pragma once

#include <windows.h>

#include <utility>

namespace morvel::win {

template <class T, auto Close, T Invalid = T{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, Invalid)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_handle, Invalid));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Invalid; }
    T release() { return std::exchange(m_handle, Invalid); }
    void reset(T handle = Invalid) {
        if (m_handle != Invalid) {
            Close(m_handle);
        }
        m_handle = handle;
    }

private:
    T m_handle = Invalid;
};

inline void DeleteFont(HFONT font) {
    DeleteObject(font);
}

using UniqueFont = UniqueHandle<HFONT, &DeleteFont>;
using UniqueKey = UniqueHandle<HKEY, &RegCloseKey>;

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
    HDC get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

} // namespace morvel::win
