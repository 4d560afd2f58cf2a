#include "platform/ui/PickerView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Label.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace platform::ui {

// One wheel: rows stacked around the middle band, moved by `offset` (the
// position of the middle in rows' coordinates).
class UIPickerView::Wheel : public UIView {
  public:
    Wheel(UIPickerView* picker, long component) : picker_(picker), component_(component) {
        setClipsToBounds(true);
        auto pan = std::make_shared<UIPanGestureRecognizer>(
            [this](UIGestureRecognizer& g) { drag(static_cast<UIPanGestureRecognizer&>(g)); });
        addGestureRecognizer(pan);
        auto tap = std::make_shared<UITapGestureRecognizer>([this](UIGestureRecognizer& g) {
            CGPoint p = g.locationInView(this);
            const double h = picker_->rowHeightForComponent(component_);
            long row = selected +
                       static_cast<long>(std::floor((p.y - bounds().size.height / 2 + h / 2) / h));
            choose(row, true);
        });
        addGestureRecognizer(tap);
    }

    long rows() const { return picker_->numberOfRowsInComponent(component_); }

    void choose(long row, bool report) {
        const long n = rows();
        if (n <= 0) return;
        row = std::clamp(row, 0L, n - 1);
        const bool changed = row != selected;
        selected = row;
        offset_ = 0;
        setNeedsLayout();
        if (report && changed)
            if (auto d = picker_->delegate.lock())
                d->pickerViewDidSelectRow(picker_, row, component_);
    }

    void drag(UIPanGestureRecognizer& pan) {
        const double h = picker_->rowHeightForComponent(component_);
        if (pan.state() == UIGestureRecognizerState::Began) dragStart_ = selected;
        const double moved = -pan.translationInView(this).y / h;
        if (pan.state() == UIGestureRecognizerState::Ended ||
            pan.state() == UIGestureRecognizerState::Cancelled) {
            choose(static_cast<long>(std::lround(dragStart_ + moved)), true);
            return;
        }
        // The selection stays until the wheel stops; only the drawing moves.
        const double pos = std::clamp(dragStart_ + moved, 0.0, std::max(0.0, rows() - 1.0));
        offset_ = pos - selected;
        setNeedsLayout();
    }

    void reload() {
        for (auto& [row, v] : views_) {
            v->removeFromSuperview();
            pool_.push_back(v);
        }
        views_.clear();
        if (selected >= rows()) selected = std::max(0L, rows() - 1);
        setNeedsLayout();
    }

    UIView* viewForRow(long row) const {
        auto it = views_.find(row);
        return it == views_.end() ? nullptr : it->second.get();
    }

    void layoutSubviews() override {
        const double h = picker_->rowHeightForComponent(component_);
        const CGRect b = bounds();
        const double mid = b.size.height / 2 - h / 2;
        const long n = rows();
        std::map<long, UIViewPtr> keep;
        for (long row = 0; row < n; ++row) {
            const double y = mid + (row - selected - offset_) * h;
            if (y + h <= 0 || y >= b.size.height) continue;
            UIViewPtr v;
            if (auto it = views_.find(row); it != views_.end()) {
                v = it->second;
                views_.erase(it);
            } else {
                v = make(row);
                if (!v) continue;
                addSubview(v);
            }
            v->setFrame(CGRectMake(0, y, b.size.width, h));
            keep[row] = v;
        }
        for (auto& [row, v] : views_) {
            v->removeFromSuperview();
            pool_.push_back(v);
        }
        views_ = std::move(keep);
    }

    long selected = 0;

  private:
    UIViewPtr make(long row) {
        UIViewPtr reusing;
        if (!pool_.empty()) {
            reusing = pool_.back();
            pool_.pop_back();
        }
        auto d = picker_->delegate.lock();
        if (d) {
            if (auto v = d->pickerViewViewForRow(picker_, row, component_, reusing)) return v;
        }
        auto label = std::dynamic_pointer_cast<UILabel>(reusing);
        if (!label) label = std::make_shared<UILabel>();
        label->setTextAlignment(NSTextAlignment::Center);
        label->setFont(UIFont::systemFontOfSize(20));
        label->setText(d ? d->pickerViewTitleForRow(picker_, row, component_) : std::string());
        return label;
    }

    UIPickerView* picker_;
    long component_;
    double offset_ = 0;
    double dragStart_ = 0;
    std::map<long, UIViewPtr> views_;
    std::vector<UIViewPtr> pool_;
};

UIPickerView::UIPickerView(const CGRect& frame)
    : UIView(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width,
                        frame.size.height > 0 ? frame.size.height : kStandardHeight)) {
    setOpaque(false);
    wheels_ = std::make_shared<UIView>(bounds());
    wheels_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                 UIViewAutoresizingFlexibleHeight);
    topLine_ = std::make_shared<UIView>();
    bottomLine_ = std::make_shared<UIView>();
    for (auto& line : {topLine_, bottomLine_}) {
        line->setBackgroundColor(UIColor::grey255(200));
        line->setUserInteractionEnabled(false);
    }
    addSubview(wheels_);
    addSubview(topLine_);
    addSubview(bottomLine_);
}

UIPickerView::~UIPickerView() = default;

long UIPickerView::numberOfComponents() const {
    auto ds = dataSource.lock();
    return ds ? ds->numberOfComponentsInPickerView(const_cast<UIPickerView*>(this)) : 0;
}

long UIPickerView::numberOfRowsInComponent(long c) const {
    auto ds = dataSource.lock();
    if (!ds || c < 0 || c >= numberOfComponents()) return 0;
    return ds->pickerViewNumberOfRowsInComponent(const_cast<UIPickerView*>(this), c);
}

double UIPickerView::rowHeightForComponent(long c) const {
    auto d = delegate.lock();
    return d ? d->pickerViewRowHeightForComponent(const_cast<UIPickerView*>(this), c) : 44;
}

void UIPickerView::rebuild() {
    const long n = numberOfComponents();
    if (static_cast<long>(columns_.size()) != n) {
        for (auto& c : columns_)
            c->removeFromSuperview();
        columns_.clear();
        for (long i = 0; i < n; ++i) {
            auto wheel = std::make_shared<Wheel>(this, i);
            wheels_->addSubview(wheel);
            columns_.push_back(wheel);
        }
    }
    for (auto& c : columns_)
        c->reload();
    setNeedsLayout();
}

void UIPickerView::reloadAllComponents() {
    rebuild();
}

void UIPickerView::reloadComponent(long c) {
    if (c >= 0 && c < static_cast<long>(columns_.size()))
        columns_[static_cast<size_t>(c)]->reload();
    else
        rebuild();
}

void UIPickerView::selectRow(long row, long component, bool) {
    if (columns_.empty()) rebuild();
    if (component < 0 || component >= static_cast<long>(columns_.size())) return;
    if (row < 0 || row >= numberOfRowsInComponent(component)) return;
    columns_[static_cast<size_t>(component)]->choose(row, false);
}

long UIPickerView::selectedRowInComponent(long component) const {
    if (component < 0 || component >= static_cast<long>(columns_.size())) return -1;
    return columns_[static_cast<size_t>(component)]->selected;
}

UIView* UIPickerView::viewForRow(long row, long component) const {
    if (component < 0 || component >= static_cast<long>(columns_.size())) return nullptr;
    return columns_[static_cast<size_t>(component)]->viewForRow(row);
}

void UIPickerView::layoutSubviews() {
    if (columns_.empty() && numberOfComponents() > 0) rebuild();
    const CGRect b = bounds();
    auto d = delegate.lock();
    double fixed = 0;
    int shared = 0;
    for (long i = 0; i < static_cast<long>(columns_.size()); ++i) {
        double w = d ? d->pickerViewWidthForComponent(this, i) : 0;
        if (w > 0)
            fixed += w;
        else
            ++shared;
    }
    const double share = shared ? std::max(0.0, b.size.width - fixed) / shared : 0;
    double x = 0;
    for (long i = 0; i < static_cast<long>(columns_.size()); ++i) {
        double w = d ? d->pickerViewWidthForComponent(this, i) : 0;
        if (w <= 0) w = share;
        columns_[static_cast<size_t>(i)]->setFrame(CGRectMake(x, 0, w, b.size.height));
        x += w;
    }
    const double h = columns_.empty() ? 44 : rowHeightForComponent(0);
    topLine_->setFrame(CGRectMake(0, b.size.height / 2 - h / 2, b.size.width, 0.5));
    bottomLine_->setFrame(CGRectMake(0, b.size.height / 2 + h / 2, b.size.width, 0.5));
    topLine_->setHidden(!showsSelectionIndicator);
    bottomLine_->setHidden(!showsSelectionIndicator);
}

}  // namespace platform::ui
