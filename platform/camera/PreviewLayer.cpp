#include "platform/camera/PreviewLayer.h"

#include <cairo.h>

#include <algorithm>

#include "platform/ui/Canvas.h"

namespace platform::camera {

using platform::ui::CGRect;

std::shared_ptr<AVCaptureVideoPreviewLayer> AVCaptureVideoPreviewLayer::layerWithSession(
    const std::shared_ptr<AVCaptureSession>& session) {
    auto layer = std::make_shared<AVCaptureVideoPreviewLayer>();
    layer->session_ = session;
    if (session) session->addPreviewLayer(layer);
    return layer;
}

AVCaptureVideoPreviewLayer::AVCaptureVideoPreviewLayer() {
    setBackgroundColor(platform::ui::UIColor::blackColor());
    setMasksToBounds(true);
}

void AVCaptureVideoPreviewLayer::setVideoGravity(const std::string& gravity) {
    if (gravity != AVLayerVideoGravityResize && gravity != AVLayerVideoGravityResizeAspect &&
        gravity != AVLayerVideoGravityResizeAspectFill)
        return;
    if (gravity == gravity_) return;
    gravity_ = gravity;
    invalidateContent();
}

void AVCaptureVideoPreviewLayer::showFrame(std::shared_ptr<const CapturedFrame> frame) {
    if (!frame || !frame->image) return;
    frame_ = std::move(frame);
    invalidateContent();
}

CGRect AVCaptureVideoPreviewLayer::pictureRect() const {
    return pictureRectIn(bounds());
}

CGRect AVCaptureVideoPreviewLayer::pictureRectIn(const CGRect& bounds) const {
    if (!frame_ || frame_->width <= 0 || frame_->height <= 0) return bounds;
    if (gravity_ == AVLayerVideoGravityResize) return bounds;
    const double sx = bounds.size.width / frame_->width;
    const double sy = bounds.size.height / frame_->height;
    const double scale =
        gravity_ == AVLayerVideoGravityResizeAspectFill ? std::max(sx, sy) : std::min(sx, sy);
    const double w = frame_->width * scale, h = frame_->height * scale;
    return {{bounds.origin.x + (bounds.size.width - w) / 2,
             bounds.origin.y + (bounds.size.height - h) / 2},
            {w, h}};
}

void AVCaptureVideoPreviewLayer::drawOwnContent(cairo_t* cr,
                                                const platform::ui::CALayerState& state) {
    if (!frame_ || !frame_->image) return;
    cairo_save(cr);
    // A filling picture reaches beyond the bounds: only what lies inside shows.
    cairo_rectangle(cr, state.bounds.origin.x, state.bounds.origin.y, state.bounds.size.width,
                    state.bounds.size.height);
    cairo_clip(cr);
    platform::ui::Canvas canvas(cr);
    canvas.drawImage(*frame_->image, pictureRectIn(state.bounds));
    cairo_restore(cr);
}

}  // namespace platform::camera
