// The picker sheet: where it waits, shows and goes, what its wheel reports,
// its guards on rows and columns, new data and the close bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Device.h"
#include "platform/ui/Label.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/UIKAVPickerActionSheet.h"

using namespace platform::ui;
using widgettest::sameWidgetRect;

namespace {

struct Choices : UIKAVPickerActionSheetDelegate {
    std::vector<std::string> seen;  // "row,column,text"
    void didSelectRow(int row, int inComponent, const std::string& string) override {
        seen.push_back(std::to_string(row) + "," + std::to_string(inComponent) + "," + string);
    }
};

class PickerSheet : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        sheet = std::make_shared<UIKAVPickerActionSheet>(
            UIKAVPickerActionSheet::DataSource{{"买入", "卖出", "双向"},
                                               {"EURUSD", "USDJPY", "XAUUSD", "US30", "GBPUSD"}},
            CGRectMake(0, 0, 320, 0));
        window->addSubview(sheet);
        UIScreenRenderer::layoutWindows();
        sheet->delegate = choices;
    }
    void TearDown() override {
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        WidgetTest::TearDown();
    }
    void show() {
        sheet->display();
        time.advance(0.35);
    }
    UIKAVPickerView& wheel() { return *sheet->pickerView(); }
    // Taps the row under the selected one (rows further down lie below the
    // screen's edge).
    void tapNextRow(long component) {
        UIDriver::tap(wheel().viewForRow(wheel().selectedRowInComponent(component) + 1, component));
    }

    std::shared_ptr<UIKAVPickerActionSheet> sheet;
    std::shared_ptr<Choices> choices = std::make_shared<Choices>();
};

TEST_F(PickerSheet, WaitsBelowTheScreenRisesToItsBottomAndGoesFurtherDown) {
    EXPECT_TRUE(sameWidgetRect(sheet->frame(), CGRectMake(0, 568 + 64, 320, 219)));
    EXPECT_TRUE(wheel().isHidden());
    sheet->display();
    time.advance(0.15);  // on its way up
    const CGFloat moving = sheet->layer().presentation().frame().origin.y;
    EXPECT_GT(moving, 349);
    EXPECT_LT(moving, 568 + 64);
    time.advance(0.2);
    EXPECT_TRUE(sameWidgetRect(sheet->frame(), CGRectMake(0, 349, 320, 219)));
    EXPECT_FALSE(wheel().isHidden());
    snapshot("picker-sheet");
    sheet->display();  // shown already: nothing moves
    EXPECT_EQ(sheet->frame().origin.y, 349);

    sheet->dismiss();
    time.advance(0.35);
    EXPECT_TRUE(sameWidgetRect(sheet->frame(), CGRectMake(0, 568 + 300, 320, 219)));
    EXPECT_TRUE(wheel().isHidden());

    // A layout pass puts a shown sheet away.
    show();
    sheet->setNeedsLayout();
    UIScreenRenderer::layoutWindows();
    EXPECT_FALSE(sheet->isDisplayed());

    // In landscape a narrower sheet is centred on the screen's short side.
    auto narrow = std::make_shared<UIKAVPickerActionSheet>(
        UIKAVPickerActionSheet::DataSource{{"1"}}, CGRectMake(0, 0, 300, 0));
    window->addSubview(narrow);
    UIScreenRenderer::layoutWindows();
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    narrow->display();
    time.advance(0.35);
    EXPECT_TRUE(sameWidgetRect(narrow->frame(), CGRectMake(10, 349, 300, 219)));

    // In a screen that turned with the interface it rises to that screen's
    // bottom, centred on its long side, not below its edge.
    auto turned = std::make_shared<UIView>(CGRectMake(0, 0, 568, 320));
    window->addSubview(turned);
    auto inTurned = std::make_shared<UIKAVPickerActionSheet>(
        UIKAVPickerActionSheet::DataSource{{"1"}}, CGRectMake(0, 0, 320, 0));
    turned->addSubview(inTurned);
    UIScreenRenderer::layoutWindows();
    inTurned->display();
    time.advance(0.35);
    EXPECT_TRUE(sameWidgetRect(inTurned->frame(), CGRectMake(124, 101, 320, 219)));
}

TEST_F(PickerSheet, TheWholeWheelShowsOnAnOpaqueBackingUprightAndTurned) {
    // Something bright under the sheet, as the chart is on the order screens.
    auto under = std::make_shared<UIView>(window->bounds());
    under->setBackgroundColor(UIColor::rgb255(255, 0, 0));
    window->insertSubviewAtIndex(under, 0);
    auto turned = std::make_shared<UIView>(CGRectMake(0, 0, 568, 320));
    turned->setHidden(true);
    window->addSubview(turned);
    auto inTurned = std::make_shared<UIKAVPickerActionSheet>(
        UIKAVPickerActionSheet::DataSource{{"欧元美元", "现货黄金", "道琼斯指数"}},
        CGRectMake(0, 0, 320, 0));
    turned->addSubview(inTurned);
    UIScreenRenderer::layoutWindows();

    auto check = [&](UIKAVPickerActionSheet& shown, const CGRect& area, const char* name) {
        shown.display();
        time.advance(0.35);
        UIScreenRenderer::layoutWindows();
        const CGRect wheelFrame = shown.pickerView()->convertRectToView(
            shown.pickerView()->bounds(), shown.superviewRaw());
        EXPECT_LE(CGRectGetMaxY(wheelFrame), CGRectGetMaxY(area) + 1e-9) << name;
        EXPECT_LE(CGRectGetMaxY(wheelFrame), CGRectGetMaxY(shown.frame()) + 1e-9) << name;
        const auto image = snapshot(name);
        // Not a trace of the red under the sheet's rows.
        const CGRect sheet = shown.convertRectToView(shown.bounds(), nullptr);
        const CGRect visible = CGRectIntersection(sheet, window->bounds());
        int reddish = 0;
        for (int y = static_cast<int>(visible.origin.y) + 26; y < CGRectGetMaxY(visible); ++y)
            for (int x = static_cast<int>(visible.origin.x); x < CGRectGetMaxX(visible); ++x) {
                const UIColor p = image->pixelAt(x, y);
                reddish += p.red - p.green > 0.05;
            }
        EXPECT_EQ(reddish, 0) << name;
        shown.dismiss();
        time.advance(0.35);
    };
    check(*sheet, window->bounds(), "picker-sheet-over-red");
    turned->setHidden(false);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    // The turned screen lies over the upright window's top left.
    check(*inTurned, turned->frame(), "picker-sheet-turned-over-red");
}

TEST_F(PickerSheet, ReportsEachChoiceWithItsText) {
    show();
    EXPECT_EQ(wheel().numberOfComponents(), 2);
    EXPECT_EQ(wheel().numberOfRowsInComponent(1), 5);
    for (int i = 0; i < 4; ++i)
        tapNextRow(1);
    tapNextRow(0);
    ASSERT_EQ(choices->seen.size(), 5u);
    EXPECT_EQ(choices->seen[3], "4,1,GBPUSD");
    EXPECT_EQ(choices->seen[4], "1,0,卖出");
    snapshot("picker-sheet-chosen");

    // Also while hidden; a selection in code is no choice; a delegate that
    // is gone is not called.
    sheet->dismiss();
    sheet->pickerViewDidSelectRow(&wheel(), 2, 0);
    sheet->selectRow(0, 0, false);
    EXPECT_EQ(choices->seen.back(), "2,0,双向");
    EXPECT_EQ(choices->seen.size(), 6u);
    auto count = std::make_shared<int>(0);
    struct Counting : UIKAVPickerActionSheetDelegate {
        std::shared_ptr<int> n;
        void didSelectRow(int, int, const std::string&) override { ++*n; }
    };
    auto counting = std::make_shared<Counting>();
    counting->n = count;
    sheet->delegate = counting;
    counting.reset();
    sheet->pickerViewDidSelectRow(&wheel(), 1, 0);
    EXPECT_EQ(*count, 0);
}

TEST_F(PickerSheet, RowsAndColumnsOutsideTheDataAreRefusedAndNewDataReloads) {
    sheet->selectRow(3, 1, false);
    for (auto [row, column] : {std::pair{0L, 2L}, {5L, 1L}, {-1L, 0L}, {0L, -1L}, {3L, 0L}})
        sheet->selectRow(row, column, false);
    EXPECT_EQ(wheel().selectedRowInComponent(0), 0);
    EXPECT_EQ(wheel().selectedRowInComponent(1), 3);
    EXPECT_EQ(sheet->pickerViewNumberOfRowsInComponent(&wheel(), 2), 0);
    EXPECT_EQ(sheet->pickerViewTitleForRow(&wheel(), 7, 0), "");
    sheet->pickerViewDidSelectRow(&wheel(), 9, 1);
    EXPECT_TRUE(choices->seen.empty());

    // New data: the wheel shows it at once, never a row that is gone.
    show();
    sheet->setArrayDataSource({{"1 手", "2 手"}});
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(wheel().numberOfComponents(), 1);
    EXPECT_EQ(dynamic_cast<UILabel*>(wheel().viewForRow(0, 0))->text(), "1 手");
    tapNextRow(0);
    EXPECT_EQ(choices->seen, (std::vector<std::string>{"1,0,2 手"}));
    sheet->setArrayDataSource({});
    sheet->selectRow(0, 0, false);
    EXPECT_EQ(wheel().numberOfComponents(), 0);

    UIKAVPickerActionSheet plain(CGRectMake(0, 0, 320, 219));  // no wheel at all
    plain.selectRow(0, 0, false);
    plain.display();
    plain.dismiss();
}

TEST_F(PickerSheet, CloseBarTellsItsDelegateAndPutsTheSheetAway) {
    struct Closes : keyboardToolBarDelegate {
        std::weak_ptr<UIKAVPickerActionSheet> sheet;
        std::vector<bool> shown;
        void onToolBarPressed(UIButton*) override { shown.push_back(sheet.lock()->isDisplayed()); }
    };
    auto closes = std::make_shared<Closes>();
    closes->sheet = sheet;
    sheet->tbDelegate = closes;
    show();
    UIDriver::tap(sheet->toolBar()->closeButton());
    EXPECT_FALSE(sheet->isDisplayed());
    // Each touch event of the tap tells the delegate; only the first finds
    // the sheet up.
    ASSERT_GE(closes->shown.size(), 2u);
    EXPECT_EQ(std::count(closes->shown.begin(), closes->shown.end(), true), 1);
    EXPECT_TRUE(closes->shown.front());
}

}  // namespace
