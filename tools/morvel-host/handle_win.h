// Ownership of the Windows handles morvel-host holds.
#pragma once

#include "contract/unique_handle.h"

#include <windows.h>

#include <string>

namespace morvel::host {

using ModuleHandle = UniqueHandle<HMODULE, CloseWith<&::FreeLibrary>>;
using HookHandle = UniqueHandle<HHOOK, CloseWith<&::UnhookWindowsHookEx>>;
using KernelHandle = UniqueHandle<HANDLE, CloseWith<&::CloseHandle>>;
using WindowHandle = UniqueHandle<HWND, CloseWith<&::DestroyWindow>>;
using MemoryDC = UniqueHandle<HDC, CloseWith<&::DeleteDC>>;
// A bitmap, font or other GDI object the holder created (not a stock one).
using GdiObject = UniqueHandle<HGDIOBJ, CloseWith<&::DeleteObject>>;

// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD code);

} // namespace morvel::host
