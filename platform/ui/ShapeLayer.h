#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <optional>

#include "platform/ui/Layer.h"

namespace platform::ui {

enum class kCALineCap { Butt, Round, Square };

// A layer that draws a path: fill, stroke and the stroked part between
// strokeStart and strokeEnd (the progress rings).
class CAShapeLayer : public CALayer {
  public:
    static std::shared_ptr<CAShapeLayer> layer() { return std::make_shared<CAShapeLayer>(); }
    CGPathRef path() const { return path_; }
    void setPath(CGPathRef p);
    std::optional<UIColor> fillColor() const { return fillColor_; }
    void setFillColor(std::optional<UIColor> c);
    std::optional<UIColor> strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<UIColor> c);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w);
    CGLineCap lineCap = CGLineCap::Butt;
    CGLineJoin lineJoin = CGLineJoin::Miter;
    double strokeStart() const { return model().strokeStart; }
    void setStrokeStart(double v);
    double strokeEnd() const { return model().strokeEnd; }
    void setStrokeEnd(double v);

  protected:
    void drawOwnContent(cairo_t* cr, const CALayerState& state) override;
    CGRect ownDrawnArea(const CALayerState& state) const override;

  private:
    CGPathRef path_;
    std::optional<UIColor> fillColor_ = UIColor::blackColor();
    std::optional<UIColor> strokeColor_;
    double lineWidth_ = 1;
};

}  // namespace platform::ui
