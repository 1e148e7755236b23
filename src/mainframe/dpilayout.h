#pragma once
// The main window's size for the screen's DPI: a 16:9 window of a fixed width at the common
// scales, 200 pixels narrower than the work area at others, never larger than the work area.
//
// Units: the DPI counts display pixels, and the fixed widths are display pixels at that DPI.
// Windows, skins and monitor rectangles are measured in the toolkit's device-independent
// pixels, of which a display of `dpi` has dpi / 96 display pixels each. The layout is worked
// out in display pixels and handed back in device-independent pixels, so both meet in one unit.
#include "platform/winuser.h"

struct SDpiLayout {
    int x = 0, y = 0, width = 0, height = 0;
    bool changed = false;
};

// All in display pixels: `workLeft..workBottom` is the work area of the window's monitor,
// `minWidth`/`minHeight` the skin's minimum size.
SDpiLayout ComputeDpiLayout(int dpi, int minWidth, int minHeight, int workLeft, int workTop, int workRight,
                            int workBottom);
// The same layout with the minimum size, the work area and the result in device-independent
// pixels.
SDpiLayout ComputeDpiLayoutInUnits(int dpi, int minWidth, int minHeight, const RECT& work);
// A device-independent length as display pixels at `dpi`.
int UnitsToDisplayPixels(int units, int dpi);
