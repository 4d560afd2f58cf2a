// The outside of the chart: construction, the chart-type buttons and the
// period toolbar, the gestures and the two delegates.
#include "ui/chart/KAVChartView.h"

#include <algorithm>

#include "platform/MainThread.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "ui/services/KAVSound.h"

using namespace platform::ui;

namespace {

const UIColor kAccent = UIColor::rgb255(39, 140, 192);
const UIColor kButtonGrey = UIColor::grey255(60);
constexpr CGFloat kToolBarWidth = 160;
constexpr CGFloat kToolBarHeight = 19;
constexpr CGFloat kPeriodButtonWidth = 40;
constexpr CGFloat kTypeButtonWidth = 50;
constexpr CGFloat kTypeButtonHeight = 18;
constexpr double kPinchStep = 0.05;
constexpr CGFloat kMinBarWidth = 3;
constexpr CGFloat kMaxBarWidth = 10;

std::shared_ptr<UIButton> chartButton(const std::string& title, long tag, const CGRect& frame) {
    auto b = std::make_shared<UIButton>(frame);
    b->setTag(tag);
    b->setTitle(title, UIControlStateNormal);
    b->setTitleColor(UIColor::grey255(240), UIControlStateNormal);
    b->titleLabel()->setFont(UIFont::systemFontOfSize(9));
    b->setBackgroundColor(kButtonGrey);
    b->layer().setBorderWidth(1);
    b->layer().setBorderColor(kAccent);
    return b;
}

bool isPeriodTag(long tag) {
    return tag >= KAVChartView::kTagPeriodM1 && tag <= KAVChartView::kTagPeriodD1;
}

}  // namespace

KAVChartView::KAVChartView(const CGRect& frame, std::shared_ptr<MODChartConfig> config)
    : UIView(frame), config_(std::move(config)) {
    indicatorPane_ = true;
    if (!config_) {
        config_ = MODChartConfig::defaultConfig();
        indicatorPane_ = config_->chartType == MODChartConfig::kChartKLine;
        if (auto master = config_->yAxiss.objectForKey(chartKey::master))
            verticalAxisPadding_ = master->padding;
        if (config_->xAxis) timeAxisPadding_ = config_->xAxis->padding;
    }
    buildCaptionTable();
    origin_ = {config_->borderPadding, config_->borderPadding};

    const auto weak = weakSelf<KAVChartView>();
    pan_ = std::make_shared<UIPanGestureRecognizer>([weak](UIGestureRecognizer& g) {
        if (auto self = weak.lock()) self->onPanGesture(static_cast<UIPanGestureRecognizer&>(g));
    });
    pan_->minimumNumberOfTouches = 1;
    pan_->maximumNumberOfTouches = 1;
    addGestureRecognizer(pan_);
    pinch_ = std::make_shared<UIPinchGestureRecognizer>([weak](UIGestureRecognizer& g) {
        if (auto self = weak.lock())
            self->onPinchGesture(static_cast<UIPinchGestureRecognizer&>(g));
    });
    addGestureRecognizer(pinch_);
    longPress_ = std::make_shared<UILongPressGestureRecognizer>([weak](UIGestureRecognizer& g) {
        if (auto self = weak.lock())
            self->onLongPressGesture(static_cast<UILongPressGestureRecognizer&>(g));
    });
    longPress_->delegate = weak;
    addGestureRecognizer(longPress_);

    // Shown until the first bars arrive; it never turns.
    auto activity = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::White);
    activity->setTag(kTagActivity);
    activity->setCenter({frame.size.width / 2, frame.size.height / 2});
    activity->setHidden(false);
    addSubview(activity);

    sound_ = std::make_unique<KAVSound>("touchStart");
    makeButtons();
    setBtnBG();
    showToolBar();
}

KAVChartView::~KAVChartView() = default;

void KAVChartView::buildCaptionTable() {
    captions_.clear();
    CGFloat atX = 10, right = 80;
    for (const auto& [key, series] : config_->Series) {
        if (!series) continue;
        auto label = std::make_shared<MODSmallLabel>();
        label->text = series->labelFormat;
        label->textColor = series->labelColor;
        CGFloat& position = series->labelAlign == MODSeries::kAlignRight ? right : atX;
        label->originX = position;
        position += 30;
        captions_[series->key] = label;
    }
}

void KAVChartView::makeButtons() {
    const CGSize size = bounds().size;
    const auto weak = weakSelf<KAVChartView>();
    auto onTap = [weak](UIControl* sender, UIEvent*) {
        if (auto self = weak.lock()) self->onButtonClick(sender);
    };
    auto line = chartButton("分时", kTagLineButton, {});
    auto kline = chartButton("K线", kTagKLineButton, {});
    line->addTarget(onTap, UIControlEventTouchUpInside);
    kline->addTarget(onTap, UIControlEventTouchUpInside);
    addSubview(line);
    addSubview(kline);
    placeChartTypeButtons();

    auto toolBar = std::make_shared<UIView>(
        CGRectMake(size.width - kToolBarWidth - 2, 5, kToolBarWidth, kToolBarHeight));
    toolBar->setTag(kTagToolBar);
    toolBar->setOpaque(false);
    const char* titles[] = {"M1", "M5", "M30", "D1"};
    CGFloat x = 0;
    for (int i = 0; i < 4; ++i) {
        auto b = chartButton(titles[i], kTagPeriodM1 + i,
                             CGRectMake(x, 0, kPeriodButtonWidth, kToolBarHeight));
        b->addTarget(onTap, UIControlEventTouchUpInside);
        if (i == 0) b->setBackgroundColor(kAccent);
        toolBar->addSubview(b);
        // Neighbours share their border line.
        x += kPeriodButtonWidth - 1;
    }
    addSubview(toolBar);
}

void KAVChartView::placeChartTypeButtons() {
    const CGSize size = bounds().size;
    const CGFloat middle = (size.width - kTypeButtonWidth) / 2;
    if (auto b = viewWithTag<UIButton>(kTagLineButton))
        b->setFrame(CGRectMake(middle - 25, size.height - 25, kTypeButtonWidth, kTypeButtonHeight));
    if (auto b = viewWithTag<UIButton>(kTagKLineButton))
        b->setFrame(CGRectMake(middle + 24, size.height - 25, kTypeButtonWidth, kTypeButtonHeight));
}

void KAVChartView::layoutSubviews() {
    UIView::layoutSubviews();
    // A new size (a turn of the phone) moves the buttons and the toolbar at
    // once, not only with the next bars.
    placeChartTypeButtons();
    showToolBar();
    if (auto activity = viewWithTag(kTagActivity))
        activity->setCenter({bounds().size.width / 2, bounds().size.height / 2});
    // The candles too: a new width holds another number of bars, and the
    // bars of the old one would run past the pane, the newest out of sight,
    // until new bars came (if they come at all). A window at the newest bar
    // stays there; another keeps its oldest bar, as a pinch does.
    if (config_->chartType != MODChartConfig::kChartKLine || !chartData_) return;
    const Shown before = shown();
    const int count = static_cast<int>(chartData_->size());
    const bool atNewest = endIndex_ >= count;
    const int fitted = visableCount_;
    setVisableCount();
    if (visableCount_ == fitted) return;
    if (atNewest) {
        endIndex_ = count;
        startIndex_ = std::max(0, count - visableCount_);
    }
    scanData();
    redrawIfChanged(before);
}

void KAVChartView::showToolBar() {
    auto toolBar = viewWithTag(kTagToolBar);
    if (!toolBar) return;
    // Held sideways, the screen shows its own period control in the
    // chart's stead: one choice of period, not two.
    const bool show = !crossOn_ && config_->chartType != MODChartConfig::kChartLine &&
                      config_->chartViewType != MODChartConfig::kViewLandscape;
    toolBar->setHidden(!show);
    if (show) {
        CGRect f = toolBar->frame();
        f.origin.x = bounds().size.width - f.size.width - 2;
        toolBar->setFrame(f);
    }
}

void KAVChartView::setBtnBG() {
    auto line = viewWithTag<UIButton>(kTagLineButton);
    auto kline = viewWithTag<UIButton>(kTagKLineButton);
    if (!line || !kline) return;
    line->setBackgroundColor(kButtonGrey);
    kline->setBackgroundColor(kButtonGrey);
    if (config_->chartType == MODChartConfig::kChartKLine) kline->setBackgroundColor(kAccent);
    if (config_->chartType == MODChartConfig::kChartLine) line->setBackgroundColor(kAccent);
}

void KAVChartView::selectPeriodButton(long tag) {
    KAV_ASSERT_MAIN_THREAD();
    auto toolBar = viewWithTag(kTagToolBar);
    if (!toolBar) return;
    for (const auto& b : toolBar->subviews())
        if (isPeriodTag(b->tag())) b->setBackgroundColor(b->tag() == tag ? kAccent : kButtonGrey);
}

long KAVChartView::selectedPeriodButton() const {
    auto toolBar = viewWithTag(kTagToolBar);
    if (!toolBar) return 0;
    for (const auto& b : toolBar->subviews())
        if (isPeriodTag(b->tag()) && b->backgroundColor() == kAccent) return b->tag();
    return 0;
}

void KAVChartView::setToolBar(ChartViewType viewType) {
    KAV_ASSERT_MAIN_THREAD();
    config_->chartViewType = viewType;
    showToolBar();
}

KAVChartView::Shown KAVChartView::shown() const {
    return {
        config_->chartType,     indicatorPane_, startIndex_, endIndex_, config_->pointPaddingDef,
        config_->pointWidthDef, crossOn_,       crossPoint_, price_,    index_};
}

void KAVChartView::redrawIfChanged(const Shown& before) {
    if (!(shown() == before)) setNeedsDisplay();
}

void KAVChartView::onButtonClick(UIControl* sender) {
    KAV_ASSERT_MAIN_THREAD();
    if (!sender) return;
    // A delegate may let go of the chart; it stays alive until the tap is done.
    const auto keep = sharedSelf<KAVChartView>();
    const Shown before = shown();
    const long tag = sender->tag();
    auto& c = *config_;
    if (isPeriodTag(tag)) {
        selectPeriodButton(tag);
        if (auto d = periodSelectDelegate()) d->onPeriodTypeSelect(static_cast<int>(tag));
    } else if (tag == kTagKLineButton) {
        c.chartType = MODChartConfig::kChartKLine;
        c.pointPadding = c.pointPaddingDef;
        c.pointWidth = c.pointWidthDef;
        indicatorPane_ = true;
        if (auto a = c.yAxiss.objectForKey(chartKey::master)) a->heightPercent = 0.7;
        if (auto a = c.yAxiss.objectForKey(chartKey::index)) a->heightPercent = 0.3;
    } else if (tag == kTagLineButton) {
        c.chartType = MODChartConfig::kChartLine;
        c.pointPadding = 0;
        c.pointWidth = 1;
        indicatorPane_ = false;
        if (auto a = c.yAxiss.objectForKey(chartKey::master)) a->heightPercent = 1.0;
        if (auto a = c.yAxiss.objectForKey(chartKey::index)) a->heightPercent = 0;
    } else {
        return;
    }
    showToolBar();
    if (auto d = chartSelectDelegate()) d->onChartTypeSelect(config_->chartType);
    setBtnBG();
    // Rebuilds the indicators or the minute line for the mode now in force.
    applyData(chartData_, symbol_);
    redrawIfChanged(before);
}

void KAVChartView::onPanGesture(UIPanGestureRecognizer& gesture) {
    KAV_ASSERT_MAIN_THREAD();
    const CGPoint p = gesture.locationInView(this);
    if (gesture.state() == UIGestureRecognizerState::Began) {
        panReference_ = p;
        return;
    }
    if (gesture.state() != UIGestureRecognizerState::Changed) return;
    const Shown before = shown();
    if (crossOn_) {
        // While a long press holds the cross line, the finger moves it.
        if (CGRectContainsPoint(drawingArea(), p)) crossPoint_ = p;
        redrawIfChanged(before);
        return;
    }
    if (config_->chartType != MODChartConfig::kChartKLine || !chartData_) return;
    const int count = static_cast<int>(chartData_->size());
    // One bar per change event, however far the finger went.
    if (p.x > panReference_.x) {
        if (startIndex_ <= 0) return;
        panReference_.x = p.x;
        --startIndex_;
        --endIndex_;
        if (startIndex_ < 1) {
            startIndex_ = 0;
            endIndex_ = std::min(visableCount_, count);
        }
    } else if (p.x < panReference_.x) {
        if (endIndex_ >= count) return;
        panReference_.x = p.x;
        ++startIndex_;
        ++endIndex_;
        if (endIndex_ >= count) {
            endIndex_ = count;
            startIndex_ = std::max(0, count - visableCount_);
        }
    }
    scanData();
    redrawIfChanged(before);
}

void KAVChartView::onPinchGesture(UIPinchGestureRecognizer& gesture) {
    KAV_ASSERT_MAIN_THREAD();
    if (config_->chartType != MODChartConfig::kChartKLine) return;
    if (gesture.state() == UIGestureRecognizerState::Began) {
        pinchScale_ = gesture.scale;
        return;
    }
    if (gesture.state() != UIGestureRecognizerState::Changed) return;
    const Shown before = shown();
    auto& c = *config_;
    if (gesture.scale > pinchScale_ + kPinchStep) {
        pinchScale_ = gesture.scale;
        if (c.pointWidthDef >= kMaxBarWidth) return;
        c.pointWidthDef += 1;
    } else if (gesture.scale < pinchScale_ - kPinchStep) {
        pinchScale_ = gesture.scale;
        if (c.pointWidthDef <= kMinBarWidth) return;
        c.pointWidthDef -= 1;
    }
    c.pointWidth = c.pointWidthDef;
    setVisableCount();
    scanData();
    redrawIfChanged(before);
}

void KAVChartView::onLongPressGesture(UILongPressGestureRecognizer& gesture) {
    KAV_ASSERT_MAIN_THREAD();
    const Shown before = shown();
    switch (gesture.state()) {
        case UIGestureRecognizerState::Began: {
            const CGPoint p = gesture.locationInView(this);
            if (!CGRectContainsPoint(drawingArea(), p)) break;
            crossOn_ = true;
            showToolBar();
            crossPoint_ = p;
            if (sound_) sound_->play();
            break;
        }
        case UIGestureRecognizerState::Ended:
        case UIGestureRecognizerState::Cancelled:
        case UIGestureRecognizerState::Failed:
            // However the press ends, the cross line goes with it.
            crossOn_ = false;
            showToolBar();
            break;
        default:
            break;
    }
    redrawIfChanged(before);
}

bool KAVChartView::gestureRecognizerShouldRecognizeSimultaneouslyWith(
    UIGestureRecognizer* recognizer, UIGestureRecognizer*) {
    // The pan moves the cross line while the long press holds it.
    return recognizer == longPress_.get();
}
