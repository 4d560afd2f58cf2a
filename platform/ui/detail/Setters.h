#pragma once

// Setters of drawn properties: a change asks for a redraw, the same value
// does nothing. For use inside platform/ui only.
#define KAV_SET_AND_REDRAW(field, value) \
    do {                                 \
        if (field == (value)) return;    \
        field = (value);                 \
        setNeedsDisplay();               \
    } while (0)
