#include "tests/host/resources_win.h"

#include "contract/text.h"
#include "tools/morvel-host/handle_win.h"
#include "tools/odbc/system_library_win.h"

#include <psapi.h>

namespace morvel::host {

namespace {

// GDI and USER handles are 16-bit indices in their tables, with a
// generation number above; a handle of the index alone names the object
// whatever its generation. USER handles are even, from 0x20 on.
constexpr std::uint32_t kHandleLimit = 0x10000;
constexpr std::uint32_t kFirstUserHandle = 0x20;

std::uint64_t CountGdiObjects(std::array<std::uint64_t, 15>& byType) {
    std::uint64_t count = 0;
    for (std::uint32_t index = 1; index < kHandleLimit; ++index) {
        const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(index)));
        if (type != 0) {
            ++count;
            ++byType[type < byType.size() ? type : 0];
        }
    }
    return count;
}

struct WindowCount {
    DWORD process;
    std::uint64_t windows = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->windows;
    return TRUE;
}

void CountWindowAndChildren(HWND window, WindowCount& count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == count.process) {
        ++count.windows;
        EnumChildWindows(window, &CountChild, reinterpret_cast<LPARAM>(&count));
    }
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    CountWindowAndChildren(window, *reinterpret_cast<WindowCount*>(param));
    return TRUE;
}

std::uint64_t CountUserObjects() {
    // Windows: the top-level ones with everything below them, and the
    // message-only ones, which EnumWindows leaves out.
    WindowCount count{GetCurrentProcessId()};
    EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&count));
    HWND messageOnly = nullptr;
    while ((messageOnly = FindWindowExA(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr) {
        CountWindowAndChildren(messageOnly, count);
    }
    std::uint64_t objects = count.windows;
    // Menus, icons and cursors: only those of this process answer.
    for (std::uint32_t handle = kFirstUserHandle; handle < kHandleLimit; handle += 2) {
        const auto value = static_cast<UINT_PTR>(handle);
        if (IsMenu(reinterpret_cast<HMENU>(value))) {
            ++objects;
            continue;
        }
        ICONINFO icon{};
        if (GetIconInfo(reinterpret_cast<HICON>(value), &icon)) {
            ++objects;
            // Copies made for the caller.
            if (icon.hbmMask != nullptr) {
                DeleteObject(icon.hbmMask);
            }
            if (icon.hbmColor != nullptr) {
                DeleteObject(icon.hbmColor);
            }
        }
    }
    return objects;
}

// GetProcessMemoryInfo of psapi.dll, loaded from the system directory on the
// first use: Windows XP keeps psapi.dll out of its KnownDLLs, so an import of
// it would be looked for beside the program first.
using GetProcessMemoryInfoProc = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);

GetProcessMemoryInfoProc ProcessMemoryInfo() {
    static const GetProcessMemoryInfoProc proc = [] {
        const HMODULE psapi = LoadSystemLibrary("psapi.dll");
        const auto found = reinterpret_cast<GetProcessMemoryInfoProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(psapi, "GetProcessMemoryInfo")));
        if (found == nullptr) {
            throw Error("psapi.dll does not export GetProcessMemoryInfo");
        }
        return found;
    }();
    return proc;
}

} // namespace

Resources MeasureResources() {
    Resources r;
    const HANDLE process = GetCurrentProcess();
    r.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    r.user = GetGuiResources(process, GR_USEROBJECTS);
    if (r.gdi == 0 || r.user == 0) {
        // A process that has made windows holds objects of both kinds: a 0
        // means that the system does not count them. USER first: reading an
        // icon makes bitmaps for a moment.
        r.countedHere = true;
        r.user = CountUserObjects();
        r.gdi = CountGdiObjects(r.gdiByType);
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfoProc getProcessMemoryInfo = nullptr;
    try {
        getProcessMemoryInfo = ProcessMemoryInfo();
    } catch (const Error& e) {
        throw Error(std::string("resources: cannot read the memory counters: ") + e.what());
    }
    if (!getProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory)) {
        throw Error("resources: cannot read the memory counters: " + SystemMessage(GetLastError()));
    }
    r.privateBytes = memory.PrivateUsage;
    if (r.privateBytes == 0) {
        r.privateBytes = memory.PagefileUsage;
        r.fromPagefileUsage = true;
    }
    return r;
}

std::string GdiTypes(const Resources& resources) {
    static constexpr const char* kNames[] = {"other",
                                             "pen",
                                             "brush",
                                             "DC",
                                             "metafile DC",
                                             "palette",
                                             "font",
                                             "bitmap",
                                             "region",
                                             "metafile",
                                             "memory DC",
                                             "extended pen",
                                             "enhanced metafile DC",
                                             "enhanced metafile",
                                             "colour space"};
    std::string text;
    for (std::size_t type = 0; type < resources.gdiByType.size(); ++type) {
        if (resources.gdiByType[type] != 0) {
            text += (text.empty() ? "" : ", ") + std::string(kNames[type]) + " " +
                    std::to_string(resources.gdiByType[type]);
        }
    }
    return text;
}

} // namespace morvel::host
