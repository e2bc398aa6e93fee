// "screenshot": the plug-in's windows drawn by themselves (PrintWindow) into
// one picture, saved as a BMP file.
#pragma once

#include "tests/host/picture.h"

#include <windows.h>

#include <string>

namespace morvel::host {

// The window, frame and children, as it draws itself into a picture of its
// size; parts it leaves undrawn are white. Throws Error when the window has
// no size or cannot be drawn.
Picture PrintedWindow(HWND window);

// Writes the picture to path as a BMP file, replacing any file there. Throws
// Error with the system's reason; a partly written file is removed.
void SaveBmp(const Picture& picture, const std::string& path);

} // namespace morvel::host
