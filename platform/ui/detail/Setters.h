#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Setters of drawn properties: a change asks for a redraw, the same value
// does nothing. For use inside platform/ui only.
#define KAV_SET_AND_REDRAW(field, value) \
    do {                                 \
        if (field == (value)) return;    \
        field = (value);                 \
        setNeedsDisplay();               \
    } while (0)
