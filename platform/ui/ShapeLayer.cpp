#include "platform/ui/ShapeLayer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/ui/detail/LayerSetters.h"

namespace platform::ui {

void CAShapeLayer::setPath(CGPathRef p) {
    invalidateGeometry();
    path_ = std::move(p);
}
void CAShapeLayer::setFillColor(std::optional<UIColor> c) {
    fillColor_ = c;
    invalidateContent();
}
void CAShapeLayer::setStrokeColor(std::optional<UIColor> c) {
    // A stroke that comes or goes changes the area too.
    invalidateGeometry();
    strokeColor_ = c;
}
void CAShapeLayer::setLineWidth(double w) {
    invalidateGeometry();
    lineWidth_ = w;
}

CGRect CAShapeLayer::ownDrawnArea(const CALayerState& state) const {
    CGRect area = CALayer::ownDrawnArea(state);
    if (!path_ || path_->isEmpty()) return area;
    CGRect shape = path_->bounds();
    // A stroke reaches half its width out, a mitred corner up to five widths.
    if (strokeColor_ && lineWidth_ > 0)
        shape = CGRectInset(shape, -lineWidth_ * 5, -lineWidth_ * 5);
    return CGRectUnion(area, CGRectInset(shape, -1, -1));
}
void CAShapeLayer::setStrokeStart(double v) {
    KAV_LAYER_SET("strokeStart", strokeStart, v);
}
void CAShapeLayer::setStrokeEnd(double v) {
    KAV_LAYER_SET("strokeEnd", strokeEnd, v);
}

void CAShapeLayer::drawOwnContent(cairo_t* cr, const CALayerState& state) {
    if (!path_ || path_->isEmpty()) return;
    cairo_save(cr);
    if (fillColor_ && !fillColor_->isClear()) {
        path_->apply(cr);
        UIColorSetCairoSource(cr, *fillColor_);
        cairo_fill(cr);
    }
    const double s0 = std::clamp(state.strokeStart, 0.0, 1.0),
                 s1 = std::clamp(state.strokeEnd, 0.0, 1.0);
    if (strokeColor_ && !strokeColor_->isClear() && lineWidth_ > 0 && s1 > s0) {
        path_->apply(cr);
        if (s0 > 0 || s1 < 1) {
            // Keep only the part of the flattened path between the two ends.
            cairo_path_t* flat = cairo_copy_path_flat(cr);
            std::vector<CGPoint> pts;
            std::vector<std::vector<CGPoint>> runs;
            for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
                auto& h = flat->data[i].header;
                if (h.type == CAIRO_PATH_MOVE_TO) {
                    if (!pts.empty()) runs.push_back(pts);
                    pts = {{flat->data[i + 1].point.x, flat->data[i + 1].point.y}};
                } else if (h.type == CAIRO_PATH_LINE_TO) {
                    pts.push_back({flat->data[i + 1].point.x, flat->data[i + 1].point.y});
                } else if (h.type == CAIRO_PATH_CLOSE_PATH && !pts.empty()) {
                    pts.push_back(pts.front());
                }
            }
            if (!pts.empty()) runs.push_back(pts);
            cairo_path_destroy(flat);
            double total = 0;
            for (auto& run : runs)
                for (size_t k = 1; k < run.size(); ++k)
                    total += std::hypot(run[k].x - run[k - 1].x, run[k].y - run[k - 1].y);
            const double from = s0 * total, to = s1 * total;
            cairo_new_path(cr);
            double walked = 0;
            for (auto& run : runs) {
                bool drawing = false;
                for (size_t k = 1; k < run.size(); ++k) {
                    CGPoint a = run[k - 1], b = run[k];
                    double len = std::hypot(b.x - a.x, b.y - a.y);
                    double segFrom = std::max(from, walked), segTo = std::min(to, walked + len);
                    if (len > 0 && segTo > segFrom) {
                        double f0 = (segFrom - walked) / len, f1 = (segTo - walked) / len;
                        CGPoint p0{a.x + (b.x - a.x) * f0, a.y + (b.y - a.y) * f0};
                        CGPoint p1{a.x + (b.x - a.x) * f1, a.y + (b.y - a.y) * f1};
                        if (!drawing) cairo_move_to(cr, p0.x, p0.y);
                        cairo_line_to(cr, p1.x, p1.y);
                        drawing = true;
                    } else {
                        drawing = false;
                    }
                    walked += len;
                }
            }
        }
        cairo_set_line_width(cr, lineWidth_);
        cairo_set_line_cap(cr, lineCap == CGLineCap::Round    ? CAIRO_LINE_CAP_ROUND
                               : lineCap == CGLineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                              : CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, lineJoin == CGLineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                                : lineJoin == CGLineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                : CAIRO_LINE_JOIN_MITER);
        UIColorSetCairoSource(cr, *strokeColor_);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

}  // namespace platform::ui
