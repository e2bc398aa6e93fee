#include "tests/host/screenshot_win.h"

#include "contract/text.h"
#include "tools/morvel-host/handle_win.h"

#include <cstring>
#include <vector>

namespace morvel::host {

namespace {

// PrintWindow's flag for windows drawn by the desktop compositor; older
// systems refuse it, and the plain call is then made.
constexpr UINT kRenderFullContent = 2;
constexpr std::uint8_t kWhite = 0xFF;

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool Print(HWND window, HDC dc) {
    return PrintWindow(window, dc, kRenderFullContent) != FALSE ||
           PrintWindow(window, dc, 0) != FALSE;
}

// rect (screen coordinates) moved to the picture's, whose top left is origin.
RECT InPicture(RECT rect, POINT origin) {
    OffsetRect(&rect, -origin.x, -origin.y);
    return rect;
}

RECT ClientInPicture(HWND window, POINT origin) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return InPicture(client, origin);
}

// Wine's PrintWindow draws a window's background and client area, but not its
// child windows: they are drawn here over the parent's picture, from the
// bottom of the z-order up and within what the parents show of them. Each is
// drawn by its own PrintWindow into a picture of its own, then copied into
// place: Wine's controls clip their drawing as if the DC's origin were theirs.
void DrawChildren(HDC dc, HWND parent, POINT origin, const RECT& shown) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        if ((GetWindowLongA(*child, GWL_STYLE) & WS_VISIBLE) == 0) {
            continue;
        }
        const RECT client = ClientInPicture(*child, origin);
        RECT visible{};
        if (!IntersectRect(&visible, &client, &shown)) {
            continue;
        }
        MemoryDC own(CreateCompatibleDC(dc));
        GdiObject bitmap(
            own ? CreateCompatibleBitmap(dc, client.right - client.left, client.bottom - client.top)
                : nullptr);
        if (!bitmap) {
            continue;
        }
        const HGDIOBJ original = SelectObject(own.Get(), bitmap.Get());
        PatBlt(own.Get(), 0, 0, client.right - client.left, client.bottom - client.top, WHITENESS);
        PrintWindow(*child, own.Get(), PW_CLIENTONLY);
        GdiFlush();
        BitBlt(dc, visible.left, visible.top, visible.right - visible.left,
               visible.bottom - visible.top, own.Get(), visible.left - client.left,
               visible.top - client.top, SRCCOPY);
        SelectObject(own.Get(), original);
        DrawChildren(dc, *child, origin, visible);
    }
}

// What the window shows, frame and children, as Wine keeps it for a window on
// the desktop (whether or not the screen shows all of it).
bool CopyShown(HWND window, HDC dc, int width, int height) {
    const HDC shown = GetWindowDC(window);
    if (shown == nullptr) {
        return false;
    }
    const bool copied = BitBlt(dc, 0, 0, width, height, shown, 0, 0, SRCCOPY) != FALSE;
    ReleaseDC(window, shown);
    return copied;
}

// The picture in a top-down 24-bit DIB section's bits (rows padded to four
// bytes).
Picture PictureOfBits(const void* bits, int width, int height) {
    Picture picture = Picture::Filled(width, height, kWhite);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    const auto* source = static_cast<const std::uint8_t*>(bits);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        std::memcpy(picture.pixels.data() + y * rowBytes, source + y * stride, rowBytes);
    }
    return picture;
}

} // namespace

Picture PrintedWindow(HWND window) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) {
        throw Error("cannot measure the window: " + SystemMessage(GetLastError()));
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0) {
        throw Error("the window has no size (" + std::to_string(width) + " x " +
                    std::to_string(height) + ")");
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows from the top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    MemoryDC dc(CreateCompatibleDC(nullptr));
    GdiObject bitmap(dc ? CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                        : nullptr);
    if (!bitmap || bits == nullptr) {
        throw Error("cannot make a picture of " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels: " + SystemMessage(GetLastError()));
    }
    const HGDIOBJ original = SelectObject(dc.Get(), bitmap.Get());
    PatBlt(dc.Get(), 0, 0, width, height, WHITENESS);
    bool drawn = Print(window, dc.Get());
    const DWORD error = GetLastError();
    // Under Wine that gave the background alone. A window on the desktop is
    // taken as Wine shows it; a hidden or minimised one has nothing shown,
    // and gets its children drawn over its background.
    if (drawn && UnderWine()) {
        if (!IsWindowVisible(window) || IsIconic(window) ||
            !CopyShown(window, dc.Get(), width, height)) {
            const POINT origin{frame.left, frame.top};
            DrawChildren(dc.Get(), window, origin, ClientInPicture(window, origin));
        }
    }
    GdiFlush();
    SelectObject(dc.Get(), original);
    if (!drawn) {
        throw Error("the window cannot be drawn: " + SystemMessage(error));
    }

    return PictureOfBits(bits, width, height);
}

void SaveBmp(const Picture& picture, const std::string& path) {
    const std::string bytes = BmpFile(picture);
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        throw Error(SystemMessage(GetLastError()));
    }
    KernelHandle file(opened);
    DWORD written = 0;
    const bool complete = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                    &written, nullptr) != FALSE &&
                          written == bytes.size();
    const DWORD error = complete ? ERROR_SUCCESS : GetLastError();
    const bool closed = CloseHandle(file.Release()) != FALSE;
    if (!complete || !closed) {
        const DWORD reason = !complete ? error : GetLastError();
        DeleteFileA(path.c_str());
        throw Error(reason == ERROR_SUCCESS ? std::string("the disk took only part of it")
                                            : SystemMessage(reason));
    }
}

} // namespace morvel::host
