// What this process holds of the system: GDI objects, USER objects and
// private memory, for telling a leak in the plug-in from the memory and
// handles that Wine and the plug-in allocate once.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morvel::host {

struct Resources {
    std::uint64_t gdi = 0;
    // When counted here: the GDI objects by GetObjectType's type (OBJ_PEN 1
    // to OBJ_COLORSPACE 14).
    std::array<std::uint64_t, 15> gdiByType{};
    std::uint64_t user = 0;
    std::uint64_t privateBytes = 0;
    // The system gave no object counts (GetGuiResources says 0, as Wine's
    // does), so they were counted here: GDI objects as the handles
    // GetObjectType knows, USER objects as this process's windows, menus,
    // icons and cursors.
    bool countedHere = false;
    // PrivateUsage was 0 (Wine's is), so the commit charge PagefileUsage
    // stands for it; Wine gives there the process's anonymous memory.
    bool fromPagefileUsage = false;
};

Resources MeasureResources();

// The GDI objects by type, "font 12, bitmap 3, ..."; empty when the system
// counted them.
std::string GdiTypes(const Resources& resources);

} // namespace morvel::host
