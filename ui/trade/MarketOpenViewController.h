#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"
#include "platform/Decimal.h"
#include "platform/NotificationCenter.h"
#include "ui/chart/ChartPeriod.h"
#include "ui/chart/KAVChartDelegates.h"
#include "ui/services/BroadcastManager.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/KAVKeyboardControls.h"
#include "ui/toolkit/NumberInputView.h"
#include "ui/toolkit/UIKAVPickerActionSheet.h"
#include "ui/trade/BuySell.h"
#include "ui/trade/OrderFlow.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/SymbolSelectDelegate.h"
#include "ui/trade/ViewBuySellButton.h"

class KAVChartLoader;
class KAVChartView;

namespace platform::ui {
class UIButton;
class UISegmentedControl;
class UIView;
}  // namespace platform::ui

// The market-order screen of one symbol, opened from the quotation board
// inside a RotateNavigationController. The order panel at the top: the
// market/limit segment, the two-half price button (a tap on the bid sells,
// on the ask buys), the quantity and the allowed deviation in points. Under
// it the quote chart of the symbol, which fills the screen when the phone
// turns to landscape (the order panel and the navigation bar go away then).
// The title, or the symbol button in landscape, opens the symbol picker.
//
// Every input follows the current symbol: a new symbol brings its price,
// spread, decimals, quantity and deviation bounds, and its chart. The
// chart's period controls always show the period of the bars drawn.
class MarketOpenViewController : public BaseViewController,
                                 public ViewBuySellDelegate,
                                 public KAVKeyboardControlsDelegate,
                                 public UIKAVPickerActionSheetDelegate,
                                 public SymbolSelectDelegate,
                                 public NumberInputViewDelegate,
                                 public ChartSelectDelegate,
                                 public PeriodSelectDelegate {
  public:
    static constexpr long kTagTitle = 6001;
    static constexpr long kTagBack = 2000;
    static constexpr long kTagOrderPanel = 1000;
    static constexpr long kTagOrderType = 3000;
    static constexpr long kTagPriceButton = 1001;
    static constexpr long kTagQuantityCaption = 2001;
    static constexpr long kTagDeviationCaption = 2002;
    static constexpr long kTagQuantity = 4000;
    static constexpr long kTagDeviation = 4001;
    static constexpr long kTagChartPanel = 1002;
    static constexpr long kTagPeriodControl = 3001;
    static constexpr long kTagSymbolButton = 5001;
    static constexpr long kTagChart = 5000;

    // Period codes of the history bars.
    static constexpr int32_t kPeriodM1 = chartPeriodCode(ChartPeriod::M1);
    static constexpr int32_t kPeriodM5 = chartPeriodCode(ChartPeriod::M5);
    static constexpr int32_t kPeriodM30 = chartPeriodCode(ChartPeriod::M30);
    static constexpr int32_t kPeriodD1 = chartPeriodCode(ChartPeriod::D1);

    static constexpr platform::ui::CGFloat kOrderPanelHeight = 220;
    // Held sideways: the period control takes 5 to 35 of the chart panel,
    // and the chart starts 5 below it.
    static constexpr platform::ui::CGFloat kLandscapeChartTop = 40;
    static constexpr platform::ui::CGFloat kPickerHeight = 205;

    // Told when the current symbol is missing (the service no longer knows it).
    static constexpr const char* kSymbolMissing = "无效的商品代码";
    // Filled with the symbol's smallest and largest quantity.
    static constexpr const char* kQuantityRefused = orderkit::kQuantityRefused;

    // initWithMODSymbolInfo: the symbol to trade, or null for the trading
    // service's first symbol (taken when the view loads).
    explicit MarketOpenViewController(std::shared_ptr<MODSymbolInfo> symbolInfo = nullptr);
    ~MarketOpenViewController() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;

    // The first symbol when none was given.
    void initData();
    void makeView();
    // The symbol picker, below the screen until shown.
    void setPicker();
    // Asks for the bars of the period (4, 5, 7 or 9; others load nothing).
    void loadChartWithPeriodType(int32_t period);

    // Buttons by tag.
    void viewPressed(platform::ui::UIView* sender);
    // Segmented controls by tag.
    void viewValueChange(platform::ui::UIView* sender);
    // Confirm step: refuses a quantity the symbol does not allow, then the
    // order road asks.
    void marketOpenWithBuyOrSell(BuySell buyOrSell);
    // Submit step: the inputs and the price are read here, after the confirmation.
    void makeOrder(BuySell buyOrSell);
    // Quote pushes: the first record of the current symbol goes to the price button.
    void updateQuotaWithMods(const MODList<MODSymbolInfo>& symbols);

    // Its chart may turn to landscape.
    bool shouldAutorotate() const override { return true; }
    void willRotateToInterfaceOrientation(platform::ui::UIInterfaceOrientation o,
                                          double duration) override;

    // ChartSelectDelegate: the landscape period control shows in K-line mode only.
    void onChartTypeSelect(int chartType) override;
    void initListen();
    void removeListen();
    void onReciveBroadcast(const MoMessage& message);
    // PeriodSelectDelegate: the chart's period buttons, 30001 to 30004.
    void onPeriodTypeSelect(int tag) override;
    // ViewBuySellDelegate.
    void onBuySellButtonPressed(platform::ui::UIView* sender) override;
    // NumberInputViewDelegate: editing lifts the order panel above the keyboard.
    void textFieldDidBeginEditing(platform::ui::UITextField* textField) override;
    void textFieldDidEndEditing(platform::ui::UITextField*) override {}
    void buttonDidPressed(int) override {}
    // UIKAVPickerActionSheetDelegate: the chosen row's symbol becomes current.
    void didSelectRow(int row, int inComponent, const std::string& string) override;
    // KAVKeyboardControlsDelegate.
    void keyboardControls(KAVKeyboardControls* controls, platform::ui::UIView* field,
                          int32_t direction) override;
    void keyboardControlsDonePressed(KAVKeyboardControls* controls) override;
    // SymbolSelectDelegate: the symbol chosen on the limit-order screen is
    // current when this screen shows again.
    void onSymbolSelect(const std::string& symbolCode) override;
    // The image redrawn at the scale.
    static platform::ui::UIImagePtr scaleImage(const platform::ui::UIImagePtr& image, float scale);
    // Shows the symbol everywhere: price button, bounds, chart, titles.
    void resetSymbolInfoWith(std::shared_ptr<MODSymbolInfo> symbol);

    // The refusal of a quantity the symbol does not allow (orderkit's, which
    // the new limit order asks too).
    static std::string quantityRefusal(const platform::Decimal& quantity,
                                       const MODSymbolInfo& symbol) {
        return orderkit::quantityRefusal(quantity, symbol);
    }
    // Period code of a chart tool-bar tag, of a period-control index; 0 for others.
    static int32_t periodForToolBarTag(int tag);
    static int32_t periodForIndex(long index);

    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return _modSymbolInfo; }
    bool isLandscape() const { return landscape_; }
    UIKAVPickerActionSheet* picker() const { return _picker.get(); }
    KAVKeyboardControls* keyboardBar() const { return _keyboardControls.get(); }
    const MODList<MODSymbolInfo>& arraySymbols() const { return _arraySymbols; }

  private:
    // Views found again by tag (some tags repeat inside the input widgets and
    // the price button, so each is looked up under its own parent).
    platform::ui::UIView* orderPanel() const;
    platform::ui::UIView* chartPanel() const;
    KAVChartView* chartView() const;
    ViewBuySellButton* priceButton() const;
    NumberInputView* quantityInput() const;
    NumberInputView* deviationInput() const;
    platform::ui::UISegmentedControl* periodControl() const;
    platform::ui::UIButton* symbolButton() const;
    platform::ui::UIButton* titleButton();
    // The parts of the view makeView makes.
    void makeOrderPanel(const platform::ui::UIControl::Action& changed);
    void addOrderInputs(platform::ui::UIView& panel);
    void makeChartPanel(const platform::ui::UIControl::Action& pressed,
                        const platform::ui::UIControl::Action& changed);

    // The quantity and deviation bounds of the symbol.
    void applyBounds(const MODSymbolInfo& symbol);
    void setTitles();
    // The period control and the chart's period buttons on the period; none
    // selected for no period.
    void showPeriod(std::optional<ChartPeriod> period);
    // The service's record of the current symbol (adopted when the service
    // replaced it), or null when the service no longer knows it.
    std::shared_ptr<MODSymbolInfo> refreshedSymbol();
    // Alert for a symbol that is missing; with `close`, the screen closes
    // when the alert does.
    void alertSymbolMissing(bool close);
    // The view moved so that the order panel's bottom stands above the
    // keyboard bar.
    void liftForKeyboard();

    // The trading service's cached record: quote pushes update it in place.
    std::shared_ptr<MODSymbolInfo> _modSymbolInfo;
    std::shared_ptr<KAVKeyboardControls> _keyboardControls;
    MODList<MODSymbolInfo> _arraySymbols;
    std::shared_ptr<UIKAVPickerActionSheet> _picker;
    std::shared_ptr<KAVChartLoader> chartLoader_;
    OrderFlow orderFlow_;
    platform::ObserverToken quoteListen_;
    bool landscape_ = false;
};
