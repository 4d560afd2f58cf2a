#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "ui/services/BroadcastManager.h"
#include "ui/toolkit/NumberInputView.h"
#include "ui/toolkit/UIKAVPickerActionSheet.h"
#include "ui/trade/LimitPriceChangeDelegate.h"
#include "ui/trade/OrderFieldsScreen.h"
#include "ui/trade/OrderFlow.h"
#include "ui/trade/SymbolSelectDelegate.h"

namespace platform::ui {
class UIButton;
class UIView;
}  // namespace platform::ui

class NumberInputView;
class ViewLimitPrice;
class ViewLimitPriceInput;

// The new limit / stop order of a symbol: the side, the quantity, the
// order price, and optional take-profit and stop-loss prices. The band
// around the current price guides the order price; the bounds that the
// stop-loss and take-profit must respect show in their titles once the
// order price has been stepped, typed or reset by a choice in the picker.
// The screen does not choose between a limit and a stop order: the trading
// service derives it from where the order price lies against the market.
//
// The title and the side button open the picker (side and symbol). Every
// input follows the current symbol: the band, the decimals of the prices
// and their steps, the quantity bounds, the order price reset to the new
// side's price. Pushed by the market-order screen (told the picked symbol;
// back pops it) or presented by the pending orders list in its own
// navigation controller (back dismisses it); a successful order closes it
// the same way.
class LimitOpenTradeViewController : public OrderFieldsScreen,
                                     public NumberInputViewDelegate,
                                     public UIKAVPickerActionSheetDelegate,
                                     public LimitPriceChangeDelegate {
  public:
    static constexpr long kTagTitle = 6001;
    static constexpr long kTagBack = 1000;
    static constexpr long kTagSideCaption = 1003;
    static constexpr long kTagQuantityCaption = 1002;
    static constexpr long kTagSide = 1004;
    static constexpr long kTagQuantity = 2000;
    static constexpr long kTagBand = 3000;
    static constexpr long kTagOrderPrice = 3001;
    static constexpr long kTagTakeProfit = 3002;
    static constexpr long kTagStopLose = 3003;
    static constexpr long kTagSubmit = 1005;
    static constexpr long kTagPicker = 7001;
    static constexpr platform::ui::CGFloat kPickerHeight = 205;
    static constexpr const char* kBuy = "买";
    static constexpr const char* kSell = "卖";
    // Told when the current symbol is missing (the service does not know it).
    static constexpr const char* kSymbolMissing = "无效的商品代码";

    // initWithMODSymbolInfo:isModel: the symbol (null: the trading service's
    // first), and whether the screen was presented rather than pushed.
    explicit LimitOpenTradeViewController(std::shared_ptr<MODSymbolInfo> symbolInfo = nullptr,
                                          bool isModel = false);
    ~LimitOpenTradeViewController() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // The first symbol when none was given.
    void initData();
    // The names of the service's symbols, in its order.
    std::vector<std::string> getPickerSymbols() const;
    void makeView();
    // Buttons by tag.
    void viewPressed(platform::ui::UIView* sender);
    // The confirm step: checks the inputs, then the order road asks.
    void limitOpen();
    // Quote pushes: the band follows the current symbol's record.
    void updateQuotaWithMods(const MODList<MODSymbolInfo>& symbols);
    void initListen();
    void removeListen();
    void onReciveBroadcast(const MoMessage& message);

    // The price fields and the quantity field (through the NumberInputView):
    // the picker goes down first.
    void textFieldDidBeginEditing(platform::ui::UITextField* textField) override;
    // A price typed into the order price field gives new hints.
    void textFieldDidEndEditing(platform::ui::UITextField* textField) override;
    void buttonDidPressed(int) override {}
    // The picker: column 0 the side, column 1 the symbol.
    void didSelectRow(int row, int inComponent, const std::string& string) override;
    // A step of the order price: the stop-loss and take-profit bounds at p.
    void limitPriceChange(float price) override;

    // What the inputs say, or why they cannot be sent.
    struct OrderInputs {
        std::string symbolCode;
        std::string bsCode;
        double quantity = 0;
        double orderPrice = 0;
        double takeProfit = 0;  // 0: none
        double stopLose = 0;    // 0: none
        std::string refusal;    // empty when the inputs can be sent
    };
    OrderInputs readInputs();

    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return modSymbolInfo_; }
    bool isModel() const { return isModel_; }
    // The side on the side button: "b" for "买", anything else "s".
    std::string bsCode() const;
    std::shared_ptr<SymbolSelectDelegate> symbolSelectDelegate() const {
        return symbolSelectDelegate_.lock();
    }
    void setSymbolSelectDelegate(std::weak_ptr<SymbolSelectDelegate> d) {
        symbolSelectDelegate_ = std::move(d);
    }
    UIKAVPickerActionSheet* picker() const { return picker_.get(); }
    KAVKeyboardControls* keyboardBar() const { return keyboardControls_.get(); }
    const MODList<MODSymbolInfo>& arraySymbols() const { return arraySymbols_; }

    // The screen's own views (some tags repeat inside the input widgets,
    // so each is looked up among the view's direct subviews).
    platform::ui::UIButton* titleButton();
    platform::ui::UIButton* sideButton() const;
    NumberInputView* quantityInput() const;
    ViewLimitPrice* band() const;
    ViewLimitPriceInput* priceInput(long tag) const;
    platform::ui::UIButton* submitButton() const;

  private:
    void setTitle();
    // The parts of the view makeView makes, top down.
    void addSideAndQuantity(const platform::ui::UIControl::Action& pressed);
    void addPriceInputs();
    // Everything that follows the symbol: band, decimals, quantity bounds.
    void showSymbol();
    // The order price field on the side's price of the current symbol.
    void resetOrderPrice();
    void alertSymbolMissing();
    void closeScreen();

    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    std::shared_ptr<UIKAVPickerActionSheet> picker_;
    MODList<MODSymbolInfo> arraySymbols_;
    std::vector<std::string> arrayBS_;
    bool isModel_ = false;
    std::weak_ptr<SymbolSelectDelegate> symbolSelectDelegate_;
    OrderFlow orderFlow_;
    platform::ObserverToken quoteListen_;
};
