#include "ui/main_layout.h"

#include <algorithm>

namespace morvel::ui {

int Scale(int v, int dpi) {
    const long long scaled = static_cast<long long>(v) * dpi;
    const long long half = kDesignDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi
                                        : -((-scaled + half) / kDesignDpi));
}

MainLayout LayOutMainForm(int clientWidth, int clientHeight, int dpi) {
    const int width = std::max(clientWidth, 0);
    const int height = std::max(clientHeight, 0);
    const int panelHeight = std::min(Scale(23, dpi), height);
    MainLayout l;
    l.panel = {0, height - panelHeight, width, height};
    l.statistic = {0, 0, width, height - panelHeight};
    // Designed on a 362-wide panel: BitBtn1 at 137 (122 wide, 103 from the
    // right edge), btnOBL1 at 256 (105 wide, 1 from the right edge).
    const int recalcRight = width - Scale(103, dpi);
    l.recalc = {recalcRight - Scale(122, dpi), Scale(1, dpi), recalcRight,
                Scale(1, dpi) + Scale(22, dpi)};
    const int multRight = width - Scale(1, dpi);
    l.multipliers = {multRight - Scale(105, dpi), 0, multRight, Scale(23, dpi)};
    return l;
}

} // namespace morvel::ui
