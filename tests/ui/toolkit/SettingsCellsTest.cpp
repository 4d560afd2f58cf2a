// The settings cells in a settings table: the texts they report for their
// tags, where their controls sit, and the account screens' row.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Log.h"
#include "platform/ui/TableView.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/CellDetail.h"
#include "ui/toolkit/CellItem.h"
#include "ui/toolkit/CellSlider.h"
#include "ui/toolkit/CellSwitch.h"
#include "ui/toolkit/CellTextField.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;
using widgettest::sameWidgetRect;

namespace {

using Report = std::pair<std::string, int>;

// Stands in for the settings screen: keeps its cells in a table, records
// what they report, and tells itself which row was tapped.
class SettingsScreen : public SettingDelegate,
                       public UITableViewDataSource,
                       public UITableViewDelegate {
  public:
    std::vector<UITableViewCellPtr> cells;
    std::vector<Report> reports;
    std::vector<UITableViewCell*> selected;
    void onValueChange(const std::string& value, int Tag) override {
        reports.emplace_back(value, Tag);
    }
    void onCellSelected(UITableViewCell* cell) override { selected.push_back(cell); }
    long tableViewNumberOfRowsInSection(UITableView*, long) override {
        return static_cast<long>(cells.size());
    }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath path) override {
        return cells.at(static_cast<size_t>(path.row));
    }
    void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath path) override {
        onCellSelected(cells.at(static_cast<size_t>(path.row)).get());
    }
};

class SettingsCells : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        screen->cells = {detail, slider, text, on, off};
        for (auto& cell : screen->cells)
            dynamic_cast<SettingCell&>(*cell).delegate = screen;
        table->setDataSource(screen);
        table->setDelegate(screen);
        window->addSubview(table);
        table->reloadData();
        UIScreenRenderer::layoutWindows();
    }

    std::shared_ptr<SettingsScreen> screen = std::make_shared<SettingsScreen>();
    std::shared_ptr<UITableView> table = std::make_shared<UITableView>(CGRectMake(0, 20, 320, 400));
    std::shared_ptr<CellDetail> detail = std::make_shared<CellDetail>("默认数量", 3010, "1.00");
    std::shared_ptr<CellSlider> slider =
        std::make_shared<CellSlider>("请求超时", 3002, "10", 5, 25);
    std::shared_ptr<CellTextField> text = std::make_shared<CellTextField>("备注", 3005, "KAV");
    std::shared_ptr<CellSwitch> on = std::make_shared<CellSwitch>("屏幕常亮", 3001, "1");
    std::shared_ptr<CellSwitch> off = std::make_shared<CellSwitch>("一键下单", 3004, "0");
};

TEST_F(SettingsCells, ControlsSitRightOfTheTitleAndFollowTheWidth) {
    EXPECT_EQ(detail->valueLabel()->text(), "1.00");
    EXPECT_TRUE(sameWidgetRect(detail->valueLabel()->frame(), CGRectMake(125, 12, 140, 20)));
    EXPECT_EQ(slider->valueLabel()->text(), "10 秒");
    EXPECT_TRUE(sameWidgetRect(slider->slider()->frame(), CGRectMake(165, 12, 140, 20)));
    EXPECT_EQ(slider->slider()->value(), 10);
    EXPECT_TRUE(sameWidgetRect(text->txtField()->frame(), CGRectMake(150, 7, 160, 30)));
    EXPECT_TRUE(sameWidgetRect(on->switchView()->frame(), CGRectMake(254, 6.5, 51, 31)));
    snapshot("settings-cells");

    table->setFrame(CGRectMake(0, 20, 375, 400));
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(on->switchView()->center().x, 375 / 2.0 + (375 - 51 - 30) / 2.0);
    EXPECT_EQ(detail->valueLabel()->center().x, 375 - 125);
}

TEST_F(SettingsCells, ALongDetailValueStaysClearOfItsTitle) {
    // A caption that reaches past where the value starts, and a value typed
    // long: the value gives way, the caption stays readable whole.
    auto longer = std::make_shared<CellDetail>("默认允许偏离点差", 2007, "5");
    screen->cells = {longer};
    table->reloadData();
    UIScreenRenderer::layoutWindows();
    UILabel* title = longer->textLabel();
    const CGFloat titleEnd = title->frame().origin.x + title->sizeThatFits(CGSizeZero).width;
    ASSERT_GT(titleEnd, 125) << "the caption reaches where the value label would start";
    // Its right edge stays where a short value stands.
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(longer->valueLabel()->frame()), 265);
    EXPECT_GT(longer->valueLabel()->frame().origin.x, titleEnd);

    longer->setValue(std::string(30, '9'));
    UIScreenRenderer::layoutWindows();
    EXPECT_GT(longer->valueLabel()->frame().origin.x, titleEnd);
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(longer->valueLabel()->frame()), 265);
    snapshot("settings-cell-long-value");

    // A short caption leaves the value its whole place, also after a turn
    // to a wider table.
    EXPECT_TRUE(sameWidgetRect(detail->valueLabel()->frame(), CGRectMake(125, 12, 140, 20)));
    table->setFrame(CGRectMake(0, 20, 375, 400));
    screen->cells = {detail, longer};
    table->reloadData();
    UIScreenRenderer::layoutWindows();
    EXPECT_DOUBLE_EQ(detail->valueLabel()->frame().size.width, 140);
    EXPECT_DOUBLE_EQ(detail->valueLabel()->center().x, 375 - 125);
    EXPECT_GT(longer->valueLabel()->frame().origin.x, titleEnd);
}

TEST_F(SettingsCells, SwitchIsOnForOneOnlyAndReportsOneOrZero) {
    EXPECT_TRUE(on->switchView()->isOn());
    EXPECT_FALSE(off->switchView()->isOn());
    for (const char* value : {"true", "", "01"})
        EXPECT_FALSE(CellSwitch("t", 1, value).switchView()->isOn()) << value;
    UIDriver::tap(off->switchView());
    UIDriver::tap(on->switchView());
    EXPECT_EQ(screen->reports, (std::vector<Report>{{"1", 3004}, {"0", 3001}}));
}

TEST_F(SettingsCells, SliderShowsAndReportsWholeSeconds) {
    slider->slider()->setValue(17.6f);
    slider->slider()->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(slider->valueLabel()->text(), "18 秒");
    EXPECT_EQ(screen->reports.back(), (Report{"18", 3002}));

    // A drag reports each change, to the end of the track.
    screen->reports.clear();
    const CGRect track = slider->slider()->convertRectToView(slider->slider()->bounds(), nullptr);
    UIDriver::drag(CGPointMake(CGRectGetMidX(track), CGRectGetMidY(track)),
                   CGPointMake(CGRectGetMaxX(track) + 20, CGRectGetMidY(track)), 0.3, 6);
    ASSERT_GE(screen->reports.size(), 2u);
    EXPECT_EQ(screen->reports.back(), (Report{"25", 3002}));
    EXPECT_EQ(slider->valueLabel()->text(), "25 秒");
}

TEST_F(SettingsCells, TextFieldReportsTheWholeTextOnEachKeystroke) {
    platform::LogCapture log;
    UIDriver::tap(text->txtField().get());
    UIDriver::typeText("fx");
    EXPECT_EQ(screen->reports, (std::vector<Report>{{"KAVf", 3005}, {"KAVfx", 3005}}));
    EXPECT_EQ(log.count("onTextFieldValueChange"), 2u);
    UIDriver::typeText("\b\b\b\b\b");
    EXPECT_EQ(screen->reports.back(), (Report{"", 3005}));
    EXPECT_EQ(table->frame().origin.y, 20);  // in a table nothing slides
    UIDriver::typeText("\n");
    EXPECT_FALSE(text->txtField()->isEditing());
    // Nor on return: the table stays below what its screen put above it.
    time.advance(CellTextField::kSlideDuration + 0.05);
    EXPECT_EQ(table->frame().origin.y, 20);

    // Return slides a form the keyboard had pushed up back to the top.
    auto form = std::make_shared<UIView>(CGRectMake(0, -120, 320, 568));
    auto loose = std::make_shared<CellTextField>("备注", 7, "");
    loose->setFrame(CGRectMake(0, 200, 320, 44));
    form->addSubview(loose);
    window->addSubview(form);
    UIDriver::tap(loose->txtField().get());
    UIDriver::typeText("\n");
    time.advance(CellTextField::kSlideDuration + 0.05);
    EXPECT_EQ(form->frame().origin.y, 0);
}

TEST_F(SettingsCells, DetailLeavesItsTapToTheScreenAndCellsWithoutDelegateOnlyShow) {
    detail->setValue("5.00");
    EXPECT_EQ(detail->valueLabel()->text(), "5.00");
    UIDriver::tap(detail->valueLabel());
    EXPECT_EQ(screen->selected, (std::vector<UITableViewCell*>{detail.get()}));
    EXPECT_TRUE(screen->reports.empty());

    for (auto& cell : screen->cells)
        dynamic_cast<SettingCell&>(*cell).delegate.reset();
    UIDriver::tap(off->switchView());
    UIDriver::tap(text->txtField().get());
    UIDriver::typeText("1");
    EXPECT_TRUE(off->switchView()->isOn());
    EXPECT_EQ(text->Value(), "KAV1");
    EXPECT_TRUE(screen->reports.empty());

    // The cells do not keep their delegate alive.
    on->delegate = screen;
    table->setDataSource({});
    table->setDelegate({});
    std::weak_ptr<SettingsScreen> weak = screen;
    screen.reset();
    EXPECT_TRUE(weak.expired());
    UIDriver::tap(on->switchView());
}

TEST_F(SettingsCells, ItemRowShowsACaptionAndAValueBuiltOnce) {
    auto item = std::make_shared<CellItem>(UITableViewCellStyle::Default, "ITEM");
    item->setFrame(CGRectMake(0, 440, 320, 44));
    window->addSubview(item);
    item->showItemWithLabel("可用保证金", "10,000.00", 100);
    auto label = item->cellLabel();
    EXPECT_TRUE(sameWidgetRect(label->frame(), CGRectMake(10, 0, 90, 44)));
    EXPECT_TRUE(sameWidgetRect(item->cellValue()->frame(), CGRectMake(110, 0, 200, 44)));
    item->cellValue()->setTextColor(kavtheme::forSign(-1));
    snapshot("cell-item");
    item->showItemWithLabel("浮动盈亏", "-12.50", 160);
    EXPECT_EQ(item->cellLabel(), label);
    EXPECT_EQ(label->text(), "浮动盈亏");
    EXPECT_EQ(label->frame().size.width, 90);
}

}  // namespace
