#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Drawing of layers whose transform has perspective. Cairo maps only with
// affine matrices, so such a layer is first drawn flat into a picture of its
// own and the picture is then laid onto the projected plane in thin vertical
// strips, each strip drawn with the affine map that matches the projection
// along its middle. Internal to platform/ui.

#include <functional>

#include "platform/ui/Geometry.h"
#include "platform/ui/Layer.h"

typedef struct _cairo cairo_t;

namespace platform::ui::detail {

// True when the transform divides by depth (m14, m24 or m44 differ from the
// affine case), so that its affine part alone would draw it wrongly.
bool hasPerspective(const CATransform3D& t);

// Where a point of the layer's bounds lands in its superlayer under the full
// transform (anchor, perspective divide, position). Nothing when the point
// lies at or behind the eye.
bool projectLayerPoint(const CALayerState& state, CGPoint local, CGPoint& out);

// Draws the layer in perspective on `cr`, whose user space is the
// superlayer's coordinates. `drawFlat` draws the layer (look and sublayers)
// onto the context it is given, whose user space is the layer's bounds
// coordinates.
void renderInPerspective(cairo_t* cr, const CALayerState& state,
                         const std::function<void(cairo_t* flat)>& drawFlat);

}  // namespace platform::ui::detail
