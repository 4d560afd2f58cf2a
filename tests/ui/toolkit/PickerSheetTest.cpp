// The picker sheet: where it waits, shows and goes, what its wheel shows and
// reports, its guards on rows and columns, and its close bar.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Device.h"
#include "platform/ui/Label.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIKAVPickerActionSheet.h"

using namespace platform::ui;
using widgettest::sameColor;
using widgettest::sameRect;

namespace {

struct Choice {
    int row;
    int component;
    std::string text;
    bool operator==(const Choice&) const = default;
};

class ChoiceLog : public UIKAVPickerActionSheetDelegate {
  public:
    std::vector<Choice> choices;
    void didSelectRow(int row, int inComponent, const std::string& string) override {
        choices.push_back({row, inComponent, string});
    }
};

class CloseLog : public keyboardToolBarDelegate {
  public:
    std::weak_ptr<UIKAVPickerActionSheet> sheet;
    std::vector<bool> shownAtEachCall;
    void onToolBarPressed(UIButton*) override {
        auto s = sheet.lock();
        shownAtEachCall.push_back(s && s->isDisplayed());
    }
};

const UIKAVPickerActionSheet::DataSource kTwoColumns = {
    {"买入", "卖出", "双向"},
    {"EURUSD", "USDJPY", "XAUUSD", "US30", "GBPUSD"},
};

class PickerSheet : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        sheet = std::make_shared<UIKAVPickerActionSheet>(kTwoColumns, CGRectMake(0, 0, 320, 0));
        window->addSubview(sheet);
        UIScreenRenderer::layoutWindows();
        choices = std::make_shared<ChoiceLog>();
        sheet->delegate = choices;
    }
    void TearDown() override {
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        sheet.reset();
        WidgetTest::TearDown();
    }
    UIKAVPickerView& wheel() { return *sheet->pickerView(); }
    // Taps the row `steps` rows below the selected one in the column.
    void tapRowBelow(long component, int steps) {
        UIView* shown =
            wheel().viewForRow(wheel().selectedRowInComponent(component) + steps, component);
        ASSERT_NE(shown, nullptr);
        UIDriver::tap(shown);
    }
    static CGFloat screenHeight() { return UIScreen::mainScreen().bounds().size.height; }

    std::shared_ptr<UIKAVPickerActionSheet> sheet;
    std::shared_ptr<ChoiceLog> choices;
};

TEST_F(PickerSheet, WaitsBelowTheScreenRisesToTheBottomAndGoesFurtherDown) {
    // Made out of sight: 64 below the screen, 219 high, the wheel hidden.
    EXPECT_TRUE(sameRect(sheet->frame(), CGRectMake(0, screenHeight() + 64, 320, 219)));
    EXPECT_FALSE(sheet->isDisplayed());
    EXPECT_TRUE(wheel().isHidden());
    EXPECT_TRUE(sameRect(sheet->toolBar()->frame(), CGRectMake(0, 0, 320, 25)));
    EXPECT_TRUE(sameRect(wheel().frame(), CGRectMake(0, 25, 320, UIPickerView::kStandardHeight)));

    sheet->display();
    EXPECT_TRUE(sheet->isDisplayed());
    EXPECT_FALSE(wheel().isHidden());
    time.advance(0.15);  // half way up
    const CGFloat moving = sheet->layer().presentation().frame().origin.y;
    EXPECT_LT(moving, screenHeight() + 64);
    EXPECT_GT(moving, 349);
    time.advance(0.2);
    // On the 568 high screen: 568 - 219.
    EXPECT_TRUE(sameRect(sheet->frame(), CGRectMake(0, 349, 320, 219)));
    EXPECT_TRUE(sameRect(sheet->layer().presentation().frame(), CGRectMake(0, 349, 320, 219)));
    auto shot = snapshot("picker-sheet-shown");
    ASSERT_TRUE(shot);
    // The backing under the bar, dark and nearly opaque.
    EXPECT_TRUE(sameColor(shot->pixelAt(5, 349 + 25 + 3), UIColor::grey255(12), 6.0 / 255));

    sheet->display();  // shown already: nothing moves
    EXPECT_EQ(sheet->frame().origin.y, 349);

    sheet->dismiss();
    EXPECT_FALSE(sheet->isDisplayed());
    EXPECT_TRUE(wheel().isHidden());
    time.advance(0.35);
    EXPECT_TRUE(sameRect(sheet->frame(), CGRectMake(0, screenHeight() + 300, 320, 219)));
    sheet->dismiss();  // hidden already: nothing moves
    EXPECT_EQ(sheet->frame().origin.y, screenHeight() + 300);

    // A layout pass of the sheet puts a shown sheet away.
    sheet->display();
    time.advance(0.35);
    sheet->setNeedsLayout();
    UIScreenRenderer::layoutWindows();
    EXPECT_FALSE(sheet->isDisplayed());
    time.advance(0.35);
    EXPECT_EQ(sheet->frame().origin.y, screenHeight() + 300);
}

TEST_F(PickerSheet, CentresANarrowSheetInLandscape) {
    auto narrow = std::make_shared<UIKAVPickerActionSheet>(kTwoColumns, CGRectMake(0, 0, 300, 0));
    window->addSubview(narrow);
    UIScreenRenderer::layoutWindows();
    narrow->display();
    time.advance(0.35);
    EXPECT_TRUE(sameRect(narrow->frame(), CGRectMake(0, 349, 300, 219)));  // portrait: at the left
    narrow->dismiss();
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    narrow->display();
    time.advance(0.35);
    EXPECT_EQ(narrow->frame().origin.x, 10);
    EXPECT_EQ(narrow->frame().origin.y, 349);
}

TEST_F(PickerSheet, WheelShowsTheColumnsAndReportsEachChoiceWithItsText) {
    sheet->display();
    time.advance(0.35);
    EXPECT_EQ(wheel().numberOfComponents(), 2);
    EXPECT_EQ(wheel().numberOfRowsInComponent(0), 3);
    EXPECT_EQ(wheel().numberOfRowsInComponent(1), 5);
    auto* first = dynamic_cast<UILabel*>(wheel().viewForRow(0, 1));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(), "EURUSD");
    EXPECT_EQ(first->textColor(), UIColor::whiteColor());
    EXPECT_EQ(first->font().pointSize, 20);
    EXPECT_EQ(first->textAlignment(), NSTextAlignment::Center);
    EXPECT_EQ(wheel().rowHeightForComponent(1), 44);

    // Row by row down the second column (the wheel runs on below the
    // screen's edge): the last choice is its fifth text.
    for (int i = 0; i < 4; ++i)
        tapRowBelow(1, 1);
    ASSERT_EQ(choices->choices.size(), 4u);
    EXPECT_EQ(choices->choices[1], (Choice{2, 1, "XAUUSD"}));
    EXPECT_EQ(choices->choices[3], (Choice{4, 1, "GBPUSD"}));
    tapRowBelow(0, 1);
    EXPECT_EQ(choices->choices.back(), (Choice{1, 0, "卖出"}));
    snapshot("picker-sheet-chosen");

    // Choices are reported while hidden too, and not to a delegate that is gone.
    sheet->dismiss();
    sheet->pickerViewDidSelectRow(&wheel(), 2, 0);
    EXPECT_EQ(choices->choices.back(), (Choice{2, 0, "双向"}));
    // The sheet holds its delegate weakly: a delegate that is gone is not
    // called (its count, kept outside it, stays).
    auto count = std::make_shared<int>(0);
    struct Counting : UIKAVPickerActionSheetDelegate {
        std::shared_ptr<int> count;
        void didSelectRow(int, int, const std::string&) override { ++*count; }
    };
    auto counting = std::make_shared<Counting>();
    counting->count = count;
    sheet->delegate = counting;
    sheet->pickerViewDidSelectRow(&wheel(), 1, 0);
    EXPECT_EQ(*count, 1);
    counting.reset();
    sheet->pickerViewDidSelectRow(&wheel(), 0, 0);
    EXPECT_EQ(*count, 1);
}

TEST_F(PickerSheet, RowsAndColumnsOutsideTheDataAreRefused) {
    sheet->selectRow(3, 1, false);
    EXPECT_EQ(wheel().selectedRowInComponent(1), 3);
    EXPECT_TRUE(choices->choices.empty());  // a selection in code is no choice

    for (auto [row, component] :
         std::vector<std::pair<long, long>>{{0, 2}, {5, 1}, {-1, 0}, {0, -1}, {3, 0}}) {
        sheet->selectRow(row, component, false);
        EXPECT_EQ(wheel().selectedRowInComponent(0), 0);
        EXPECT_EQ(wheel().selectedRowInComponent(1), 3);
    }
    // The data source and delegate answer safely for anything the wheel asks.
    EXPECT_EQ(sheet->pickerViewNumberOfRowsInComponent(&wheel(), 2), 0);
    EXPECT_EQ(sheet->pickerViewNumberOfRowsInComponent(&wheel(), -1), 0);
    EXPECT_EQ(sheet->pickerViewTitleForRow(&wheel(), 7, 0), "");
    sheet->pickerViewDidSelectRow(&wheel(), 9, 1);
    sheet->pickerViewDidSelectRow(&wheel(), 0, 5);
    EXPECT_TRUE(choices->choices.empty());

    // The plain view has no wheel: every call is harmless.
    UIKAVPickerActionSheet plain(CGRectMake(0, 0, 320, 219));
    plain.selectRow(0, 0, false);
    plain.display();
    plain.dismiss();
    EXPECT_EQ(plain.pickerView(), nullptr);
}

TEST_F(PickerSheet, NewDataReloadsTheWheel) {
    sheet->display();
    time.advance(0.35);
    sheet->selectRow(4, 1, false);
    sheet->setArrayDataSource({{"1 手", "2 手"}});
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(wheel().numberOfComponents(), 1);
    EXPECT_EQ(wheel().selectedRowInComponent(1), -1);  // the old column is gone
    auto* shown = dynamic_cast<UILabel*>(wheel().viewForRow(0, 0));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), "1 手");
    tapRowBelow(0, 1);
    EXPECT_EQ(choices->choices, (std::vector<Choice>{{1, 0, "2 手"}}));
    EXPECT_EQ(sheet->arrayDataSource().size(), 1u);

    sheet->setArrayDataSource({});
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(wheel().numberOfComponents(), 0);
    sheet->selectRow(0, 0, false);
}

TEST_F(PickerSheet, CloseBarTellsItsDelegateAndPutsTheSheetAway) {
    auto closes = std::make_shared<CloseLog>();
    closes->sheet = sheet;
    sheet->tbDelegate = closes;
    sheet->display();
    time.advance(0.35);
    UIDriver::tap(sheet->toolBar()->closeButton());
    EXPECT_FALSE(sheet->isDisplayed());
    // Each touch event of the tap tells the delegate; the first finds the
    // sheet still up, the later ones find it going.
    ASSERT_GE(closes->shownAtEachCall.size(), 2u);
    EXPECT_TRUE(closes->shownAtEachCall.front());
    for (size_t i = 1; i < closes->shownAtEachCall.size(); ++i)
        EXPECT_FALSE(closes->shownAtEachCall[i]);
    time.advance(0.35);
    EXPECT_EQ(sheet->frame().origin.y, screenHeight() + 300);

    // Without a close delegate the bar still closes the sheet.
    sheet->tbDelegate.reset();
    sheet->display();
    time.advance(0.35);
    UIDriver::tap(sheet->toolBar()->closeButton());
    EXPECT_FALSE(sheet->isDisplayed());
}

TEST_F(PickerSheet, WheelIsRestyledForTheDarkGround) {
    sheet->display();
    time.advance(0.35);
    UIScreenRenderer::layoutWindows();
    UIView* band = wheel().band();
    ASSERT_NE(band, nullptr);
    const CGFloat h = UIPickerView::kStandardHeight;
    EXPECT_TRUE(sameRect(band->frame(), CGRectMake(0, h / 2 - 18, 320, 36)));
    EXPECT_EQ(band->backgroundColor(), UIColor::rgb255(20, 20, 20, 0.5));
    ASSERT_GE(wheel().subviews().size(), 3u);
    EXPECT_EQ(band->superviewRaw(), wheel().subviews()[0].get());
    EXPECT_EQ(band->superviewRaw()->subviews().front().get(), band);  // behind the rows
    EXPECT_EQ(wheel().subviews()[1]->backgroundColor(), kavtheme::dimText());
    EXPECT_EQ(wheel().subviews()[2]->backgroundColor(), kavtheme::dimText());
    EXPECT_EQ(wheel().backgroundColor(), UIColor::rgb255(40, 40, 40, 0.1));
}

}  // namespace
