// The two-half price button on its own: the prices and spread of a record,
// the strip in the colour of the last move, and a half that lightens under
// the finger, tells its side on a lift inside and darkens again when the
// finger slides off.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ui/TouchInput.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/ViewBuySellButton.h"

using namespace platform::ui;
using widgettest::sameColor;

namespace {

struct Presses : ViewBuySellDelegate {
    std::vector<long> tags;
    void onBuySellButtonPressed(UIView* sender) override { tags.push_back(sender->tag()); }
};

class BuySellButton : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        symbol->bid = 1.234565;  // a tie at five places: away from zero
        symbol->ask = 1.23467;
        symbol->decimal = 5;
        symbol->spread = 3;
        symbol->upOrDown = -1;
        button = std::make_shared<ViewBuySellButton>(CGRectMake(0, 100, 320, 90), symbol,
                                                     ViewBuySellButton::kStyleWithSpread);
        button->delegate = presses;
        window->addSubview(button);
        UIScreenRenderer::layoutWindows();
    }
    UIView* half(long tag) { return button->viewWithTag(tag).get(); }
    CGPoint centreOf(long tag) { return UIDriver::screenCenterOf(button->viewWithTag(tag).get()); }

    std::shared_ptr<MODSymbolInfo> symbol = std::make_shared<MODSymbolInfo>();
    std::shared_ptr<ViewBuySellButton> button;
    std::shared_ptr<Presses> presses = std::make_shared<Presses>();
};

TEST_F(BuySellButton, ShowsTheRecordsPricesSpreadAndMove) {
    EXPECT_EQ(button->lblBid()->text(), "1.23457");
    EXPECT_EQ(button->lblAsk()->text(), "1.23467");
    EXPECT_EQ(button->point()->text(), "3");
    auto image = snapshot("buy-sell-button");
    const CGRect strip =
        button->upOrDownStrip()->convertRectToView(button->upOrDownStrip()->bounds(), nullptr);
    EXPECT_TRUE(sameColor(image->pixelAt(160, static_cast<int>(strip.origin.y + 2)),
                          kavtheme::fall(), 3.0 / 255));

    // Another record replaces it; a missing one empties the prices.
    auto other = std::make_shared<MODSymbolInfo>(*symbol);
    other->decimal = 2;
    other->spread = 50;
    other->upOrDown = 1;
    button->updateWithMODSymbolInfo(other);
    EXPECT_EQ(button->symbolInfo(), other);
    EXPECT_EQ(button->lblBid()->text(), "1.23");
    EXPECT_EQ(button->point()->text(), "50");
    EXPECT_TRUE(sameColor(button->upOrDownStrip()->backgroundColor(), kavtheme::rise()));
    button->updateWithMODSymbolInfo(nullptr);
    EXPECT_EQ(button->lblAsk()->text(), "");

    // The plain style has no spread box.
    ViewBuySellButton plain(CGRectMake(0, 0, 320, 90), symbol, ViewBuySellButton::kStylePlain);
    EXPECT_EQ(plain.point(), nullptr);
}

TEST_F(BuySellButton, AHalfLightensUnderTheFingerAndOnlyALiftInsideTellsItsSide) {
    const UIColor dark = kavtheme::panelBackground();
    const UIColor light = UIColor::grey255(150);

    TouchInput::touchDown(1, centreOf(ViewBuySellButton::kTagBuy));
    UIDriver::drain();
    EXPECT_TRUE(sameColor(half(ViewBuySellButton::kTagRightHalf)->backgroundColor(), light));
    EXPECT_TRUE(sameColor(half(ViewBuySellButton::kTagLeftHalf)->backgroundColor(), dark));
    TouchInput::touchUp(1, centreOf(ViewBuySellButton::kTagBuy));
    UIDriver::drain();
    EXPECT_TRUE(sameColor(half(ViewBuySellButton::kTagRightHalf)->backgroundColor(), dark));
    EXPECT_EQ(presses->tags, std::vector<long>{ViewBuySellButton::kTagBuy});

    // Slid off before lifting: nothing is told and the half is dark again.
    UIDriver::drag(centreOf(ViewBuySellButton::kTagSell), {160, 400});
    EXPECT_TRUE(sameColor(half(ViewBuySellButton::kTagLeftHalf)->backgroundColor(), dark));
    EXPECT_EQ(presses->tags.size(), 1u);

    UIDriver::tap(half(ViewBuySellButton::kTagLeftHalf));
    EXPECT_EQ(presses->tags,
              (std::vector<long>{ViewBuySellButton::kTagBuy, ViewBuySellButton::kTagSell}));
}

}  // namespace
