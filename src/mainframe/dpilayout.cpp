#include "dpilayout.h"

#include <cmath>

SDpiLayout ComputeDpiLayout(int dpi, int minWidth, int minHeight, int workLeft, int workTop, int workRight,
                            int workBottom) {
    SDpiLayout l;
    l.width = minWidth;
    l.height = minHeight;
    int workWidth = workRight - workLeft;
    int workHeight = workBottom - workTop;
    if (dpi > 96) {
        if (dpi >= 116 && dpi <= 124)
            l.width = 1400;
        else if (dpi >= 140 && dpi <= 148)
            l.width = 1700;
        else if (dpi >= 188 && dpi <= 196)
            l.width = 2220;
        else
            l.width = workWidth - 200;
        l.height = static_cast<int>(l.width / 16.0 * 9);
        l.x = (workWidth - l.width) / 2;
        l.y = (workHeight - l.height) / 2;
        l.changed = true;
    }
    if (l.width > workWidth) {
        l.x = workLeft;
        l.width = workWidth;
        l.changed = true;
    }
    if (l.height > workHeight) {
        l.y = workTop;
        l.height = workHeight;
        l.changed = true;
    }
    return l;
}

namespace {
double DisplayPixelsPerUnit(int dpi) { return dpi > 0 ? dpi / 96.0 : 1.0; }
int Round(double v) { return static_cast<int>(std::lround(v)); }
} // namespace

int UnitsToDisplayPixels(int units, int dpi) { return Round(units * DisplayPixelsPerUnit(dpi)); }

SDpiLayout ComputeDpiLayoutInUnits(int dpi, int minWidth, int minHeight, const RECT& work) {
    auto px = [dpi](int units) { return UnitsToDisplayPixels(units, dpi); };
    SDpiLayout l = ComputeDpiLayout(dpi, px(minWidth), px(minHeight), px(work.left), px(work.top), px(work.right),
                                    px(work.bottom));
    const double scale = DisplayPixelsPerUnit(dpi);
    l.x = Round(l.x / scale);
    l.y = Round(l.y / scale);
    l.width = Round(l.width / scale);
    l.height = Round(l.height / scale);
    return l;
}
