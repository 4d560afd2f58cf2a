#pragma once

// One grid line of an axis: its data value and where it lies in the view (y
// for a vertical axis, x for the time axis).
struct MODPoint {
    double Value = 0;
    double Point = 0;
};
