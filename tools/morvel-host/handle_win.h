// Ownership of the Windows handles morvel-host holds; the system's text for
// an error code (SystemMessage) comes with it.
#pragma once

#include "contract/unique_handle.h"
#include "tools/odbc/system_library_win.h"

#include <windows.h>

namespace morvel::host {

using ModuleHandle = UniqueHandle<HMODULE, CloseWith<&::FreeLibrary>>;
using HookHandle = UniqueHandle<HHOOK, CloseWith<&::UnhookWindowsHookEx>>;
using KernelHandle = UniqueHandle<HANDLE, CloseWith<&::CloseHandle>>;
using WindowHandle = UniqueHandle<HWND, CloseWith<&::DestroyWindow>>;
using MemoryDC = UniqueHandle<HDC, CloseWith<&::DeleteDC>>;
// A bitmap, font or other GDI object the holder created (not a stock one).
using GdiObject = UniqueHandle<HGDIOBJ, CloseWith<&::DeleteObject>>;

} // namespace morvel::host
