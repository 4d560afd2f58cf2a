#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Control.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/View.h"
#include "ui/chart/KAVChartDelegates.h"
#include "ui/chart/KAVChartIndicators.h"
#include "ui/chart/MODChartConfig.h"
#include "ui/chart/MODKAVCahrtData.h"
#include "ui/chart/MODPoint.h"
#include "ui/chart/MODSmallLabel.h"

class KAVSound;

// The quote chart: a minute line over the trading session, or candlesticks
// with moving averages over a price pane and MACD in an indicator pane. Two
// buttons at the bottom switch the mode, a period toolbar (K-line mode only)
// asks the owner for other bars, a one-finger pan moves the window of bars
// one bar per step, a pinch changes the bar width (3 to 10) and a long press
// shows a cross line with the bar's prices and time. Bars come only through
// setData; the chart has no timers and fetches nothing. It redraws only when
// its bars, its window, its mode or its cross line change. Main thread only.
class KAVChartView : public platform::ui::UIView, public platform::ui::UIGestureRecognizerDelegate {
  public:
    using CGFloat = platform::ui::CGFloat;
    using CGPoint = platform::ui::CGPoint;
    using CGRect = platform::ui::CGRect;

    static constexpr long kTagActivity = 10001;
    static constexpr long kTagLineButton = 20001;   // "分时"
    static constexpr long kTagKLineButton = 20002;  // "K线"
    static constexpr long kTagToolBar = 20003;
    static constexpr long kTagPeriodM1 = 30001;
    static constexpr long kTagPeriodM5 = 30002;
    static constexpr long kTagPeriodM30 = 30003;
    static constexpr long kTagPeriodD1 = 30004;
    static constexpr CGFloat kHeadHeight = 20;  // caption strip atop each pane

    // Without a configuration the chart builds the default one (minute line).
    explicit KAVChartView(const CGRect& frame, std::shared_ptr<MODChartConfig> config = nullptr);
    ~KAVChartView() override;

    // ---- what the owner uses ----
    // The bars (oldest first; the chart shares the bar objects and marks the
    // ones the minute line places) and the symbol whose session and decimals
    // frame them. No array keeps what is shown; null bars are left out.
    void setData(std::optional<MODChartList> bars, std::shared_ptr<MODSymbolInfo> symbol);
    int decimal() const { return decimal_; }
    void setDecimal(int decimal) { decimal_ = decimal; }
    int period() const { return period_; }
    void setPeriod(int period) { period_ = period; }
    // Highlights the period button of the tag (30001 ... 30004) as a tap
    // does, without telling the delegate: the owner shows the period whose
    // bars are drawn. Another tag leaves no button highlighted.
    void selectPeriodButton(long tag);
    // The tag of the highlighted period button, or 0.
    long selectedPeriodButton() const;
    std::shared_ptr<ChartSelectDelegate> chartSelectDelegate() const {
        return chartSelectDelegate_.lock();
    }
    void setChartSelectDelegate(std::weak_ptr<ChartSelectDelegate> d) {
        chartSelectDelegate_ = std::move(d);
    }
    std::shared_ptr<PeriodSelectDelegate> periodSelectDelegate() const {
        return periodSelectDelegate_.lock();
    }
    void setPeriodSelectDelegate(std::weak_ptr<PeriodSelectDelegate> d) {
        periodSelectDelegate_ = std::move(d);
    }
    // Kept in the configuration; the toolbar is placed again at the right
    // edge (held sideways it is hidden).
    void setToolBar(ChartViewType viewType);
    bool isChartLine() const { return config_->chartType == MODChartConfig::kChartLine; }

    // ---- state ----
    const std::shared_ptr<MODChartConfig>& config() const { return config_; }
    const std::map<std::string, std::shared_ptr<MODSmallLabel>>& captionTable() const {
        return captions_;
    }
    const MODChartListPtr& chartData() const { return chartData_; }
    const std::shared_ptr<MODSymbolInfo>& symbol() const { return symbol_; }
    // "MA5", "MA10", "MA15", "MA30", "MACD"; null before any K-line data.
    MODChartListPtr indicatorList(const std::string& key) const;
    MODChartListPtr minuteLine() const;
    const kavchart::Session& session() const { return session_; }
    int startIndex() const { return startIndex_; }
    int endIndex() const { return endIndex_; }
    int visableCount() const { return visableCount_; }
    kavchart::Range priceRange() const { return price_; }
    kavchart::Range indexRange() const { return index_; }
    bool hasIndicatorPane() const { return indicatorPane_; }
    bool isShowingCrossLine() const { return crossOn_; }
    CGPoint crossPoint() const { return crossPoint_; }
    CGFloat verticalAxisPadding() const { return verticalAxisPadding_; }
    CGFloat timeAxisPadding() const { return timeAxisPadding_; }
    CGPoint drawingOrigin() const { return origin_; }
    // Size of the drawing area (view less border padding and label room).
    CGFloat chartWidth() const;
    CGFloat chartHeight() const;
    CGRect drawingArea() const;
    const std::shared_ptr<platform::ui::UIPanGestureRecognizer>& panRecognizer() const {
        return pan_;
    }
    const std::shared_ptr<platform::ui::UIPinchGestureRecognizer>& pinchRecognizer() const {
        return pinch_;
    }
    const std::shared_ptr<platform::ui::UILongPressGestureRecognizer>& longPressRecognizer() const {
        return longPress_;
    }

    // ---- steps of the data window ----
    void setVisableCount();
    void calculateAVG();
    void makeMinLine();
    void scanData();
    void scanDataMin();

    // ---- geometry of a frame ----
    // Lays the panes out for the current size and hands them their value
    // ranges, as the drawing pass does first.
    void layoutPanes();
    // The y of a value in a pane: its maximum at the bottom of the caption
    // strip, its minimum at the pane's bottom; a flat range puts every value
    // in the middle.
    double valueToPointY(const MODAxis& axis, double value) const;
    // The value at a y of the pane: the exact inverse of valueToPointY.
    double pointToValueY(const MODAxis& axis, double y) const;
    double valueToPointX(const MODAxis& axis, double value) const;
    std::vector<MODPoint> calculateGridLine(const MODAxis& axis, int count) const;
    // Left edge of window slot i (a bar index); bars are pointWidth wide.
    CGFloat barLeft(int index) const;
    // The bar (or minute sample) whose slot holds x, or -1.
    int pointToIndex(CGPoint point) const;

    // ---- events ----
    void onButtonClick(platform::ui::UIControl* sender);
    void onPanGesture(platform::ui::UIPanGestureRecognizer& gesture);
    void onPinchGesture(platform::ui::UIPinchGestureRecognizer& gesture);
    void onLongPressGesture(platform::ui::UILongPressGestureRecognizer& gesture);
    bool gestureRecognizerShouldRecognizeSimultaneouslyWith(
        platform::ui::UIGestureRecognizer* recognizer,
        platform::ui::UIGestureRecognizer* other) override;

    void drawRect(CGRect rect) override;
    void layoutSubviews() override;

  private:
    // What a frame shows apart from the data itself; an action that leaves
    // it as it was asks for no redraw.
    struct Shown {
        int chartType = 0;
        bool indicatorPane = false;
        int startIndex = 0, endIndex = 0;
        CGFloat pointPaddingDef = 0, pointWidthDef = 0;
        bool crossOn = false;
        CGPoint crossPoint;
        kavchart::Range price, index;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;
    void redrawIfChanged(const Shown& before);

    void buildCaptionTable();
    void makeButtons();
    void placeChartTypeButtons();
    void showToolBar();
    void setBtnBG();
    void applyData(MODChartListPtr bars, std::shared_ptr<MODSymbolInfo> symbol);
    // The list the window indexes: the bars, or the minute line.
    const MODChartList* windowList() const;
    void setBarGeometry();
    // x, moved as little as needed for the text to lie whole inside the view.
    CGFloat insideView(CGFloat x, const std::string& text) const;

    // Drawing.
    void drawFrame(platform::ui::Canvas& c);
    void drawAxisY(platform::ui::Canvas& c, const MODAxis& axis, int decimals);
    void drawAxisX(platform::ui::Canvas& c);
    void drawSeries(platform::ui::Canvas& c);
    void drawLine(platform::ui::Canvas& c, const MODAxis& pane, const MODSeries& series);
    void drawOHLC(platform::ui::Canvas& c, const MODAxis& pane, const MODSeries& series);
    void drawColumn(platform::ui::Canvas& c, const MODAxis& pane, const MODSeries& series);
    void drawLabel(platform::ui::Canvas& c, const MODAxis& pane, const MODSeries& series,
                   const std::string& text);
    void drawCrossTip(platform::ui::Canvas& c);

    std::shared_ptr<MODChartConfig> config_;
    std::map<std::string, std::shared_ptr<MODSmallLabel>> captions_;
    bool indicatorPane_ = true;
    CGFloat verticalAxisPadding_ = 0;
    CGFloat timeAxisPadding_ = 0;
    CGPoint origin_;

    MODChartListPtr chartData_;  // null until bars arrive
    std::shared_ptr<MODSymbolInfo> symbol_;
    kavchart::IndicatorTable indicators_;
    std::map<std::string, MODChartListPtr> minuteTable_;
    kavchart::Session session_;
    int startIndex_ = 0;
    int endIndex_ = 0;
    int visableCount_ = 0;
    kavchart::Range price_;
    kavchart::Range index_;

    bool crossOn_ = false;
    CGPoint crossPoint_;
    // Left edge of the cross line's bar caption in the price pane's head
    // during a frame (infinity without one): the captions of the averages
    // stop short of it.
    CGFloat crossCaptionLeft_ = 0;
    CGPoint panReference_;
    double pinchScale_ = 1;
    std::unique_ptr<KAVSound> sound_;
    int decimal_ = 0;
    int period_ = 0;
    std::weak_ptr<ChartSelectDelegate> chartSelectDelegate_;
    std::weak_ptr<PeriodSelectDelegate> periodSelectDelegate_;
    std::shared_ptr<platform::ui::UIPanGestureRecognizer> pan_;
    std::shared_ptr<platform::ui::UIPinchGestureRecognizer> pinch_;
    std::shared_ptr<platform::ui::UILongPressGestureRecognizer> longPress_;
};
