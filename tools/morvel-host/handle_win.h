// Ownership of the Windows handles morvel-host holds.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace morvel::host {

// Owns one handle and gives it back with Close when it goes; move-only. The
// null value means "none" (turn INVALID_HANDLE_VALUE into null before).
template <typename T, BOOL(WINAPI* Close)(T)>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : m_value(value) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : m_value(std::exchange(other.m_value, T{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_value = std::exchange(other.m_value, T{});
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T Get() const { return m_value; }
    explicit operator bool() const { return m_value != T{}; }

    // Gives up ownership without closing.
    T Release() { return std::exchange(m_value, T{}); }

    void Reset() {
        if (m_value != T{}) {
            Close(m_value);
            m_value = T{};
        }
    }

private:
    T m_value{};
};

using ModuleHandle = UniqueHandle<HMODULE, &::FreeLibrary>;
using HookHandle = UniqueHandle<HHOOK, &::UnhookWindowsHookEx>;
using KernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;
using WindowHandle = UniqueHandle<HWND, &::DestroyWindow>;
using MemoryDC = UniqueHandle<HDC, &::DeleteDC>;
// A bitmap, font or other GDI object the holder created (not a stock one).
using GdiObject = UniqueHandle<HGDIOBJ, &::DeleteObject>;

// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD code);

} // namespace morvel::host
