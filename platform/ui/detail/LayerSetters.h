#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// The setter of an animatable layer property: the same value does nothing; a
// change is recorded for a view animation block, then stored, then animated
// implicitly when the layer is free-standing. Inside CALayer and its
// subclasses only.
#define KAV_LAYER_SET(keyPath, field, value)                                              \
    do {                                                                                  \
        if (model_.field == (value)) return;                                              \
        AnimValue from_ = delegate_ ? AnimValue{} : presentationValueForKeyPath(keyPath); \
        willChange(keyPath);                                                              \
        model_.field = (value);                                                           \
        implicitAction(keyPath, from_);                                                   \
    } while (0)
