#pragma once

#include <memory>
#include <string>

#include "platform/camera/CaptureSession.h"
#include "platform/ui/Layer.h"

namespace platform::camera {

// How a preview fits the picture into its bounds.
inline constexpr const char* AVLayerVideoGravityResize = "AVLayerVideoGravityResize";
inline constexpr const char* AVLayerVideoGravityResizeAspect = "AVLayerVideoGravityResizeAspect";
inline constexpr const char* AVLayerVideoGravityResizeAspectFill =
    "AVLayerVideoGravityResizeAspectFill";

// Shows what a session captures: the latest picture, fitted into the layer's
// bounds by the video gravity (stretched; whole, keeping its aspect, with
// bands; or filling the bounds, keeping its aspect, cropped). Black until the
// first picture arrives. The layer keeps its session alive.
class AVCaptureVideoPreviewLayer : public platform::ui::CALayer {
  public:
    static std::shared_ptr<AVCaptureVideoPreviewLayer> layerWithSession(
        const std::shared_ptr<AVCaptureSession>& session);
    AVCaptureVideoPreviewLayer();

    const std::shared_ptr<AVCaptureSession>& session() const { return session_; }
    const std::string& videoGravity() const { return gravity_; }
    // Unknown gravities are ignored.
    void setVideoGravity(const std::string& gravity);

    // The picture shown now; null before the first.
    platform::ui::UIImagePtr currentFrame() const { return frame_ ? frame_->image : nullptr; }
    // Where the picture is drawn, in the layer's coordinates (may reach
    // beyond the bounds when it fills them).
    platform::ui::CGRect pictureRect() const;

    // Called by the session on the main run loop.
    void showFrame(std::shared_ptr<const CapturedFrame> frame);

  protected:
    void drawOwnContent(cairo_t* cr, const platform::ui::CALayerState& state) override;

  private:
    platform::ui::CGRect pictureRectIn(const platform::ui::CGRect& bounds) const;

    std::shared_ptr<AVCaptureSession> session_;
    std::string gravity_ = AVLayerVideoGravityResizeAspect;
    std::shared_ptr<const CapturedFrame> frame_;
};

}  // namespace platform::camera
