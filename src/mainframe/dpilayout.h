#pragma once
// The main window's size for the screen's DPI: a 16:9 window of a fixed width at the common
// scales, 200 pixels narrower than the work area at others, never larger than the work area.
struct SDpiLayout {
    int x = 0, y = 0, width = 0, height = 0;
    bool changed = false;
};

// `workLeft..workBottom` is the work area of the window's monitor; `minWidth`/`minHeight` the
// skin's minimum size.
SDpiLayout ComputeDpiLayout(int dpi, int minWidth, int minHeight, int workLeft, int workTop, int workRight,
                            int workBottom);
