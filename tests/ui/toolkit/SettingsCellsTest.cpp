// The settings cells in a settings table: their controls where the rows put
// them, the texts they report for their tags, and the account screens' row.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Log.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/CellDetail.h"
#include "ui/toolkit/CellItem.h"
#include "ui/toolkit/CellSlider.h"
#include "ui/toolkit/CellSwitch.h"
#include "ui/toolkit/CellTextField.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;
using widgettest::sameRect;

namespace {

using Report = std::pair<std::string, int>;

// Stands in for the settings screen: keeps the cells, shows them in a table
// and records what they report; a tapped row is reported to itself.
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
    void tableViewDidSelectRowAtIndexPath(UITableView* table, NSIndexPath path) override {
        onCellSelected(cells.at(static_cast<size_t>(path.row)).get());
        (void)table;
    }
};

class SettingsCells : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        screen = std::make_shared<SettingsScreen>();
        detail = std::make_shared<CellDetail>("默认数量", 3010, "1.00");
        slider = std::make_shared<CellSlider>("请求超时", 3002, "10", 5, 25);
        text = std::make_shared<CellTextField>("备注", 3005, "KAV");
        on = std::make_shared<CellSwitch>("屏幕常亮", 3001, "1");
        off = std::make_shared<CellSwitch>("一键下单", 3004, "0");
        for (auto* cell : std::initializer_list<SettingCell*>{detail.get(), slider.get(),
                                                              text.get(), on.get(), off.get()})
            cell->delegate = screen;
        screen->cells = {detail, slider, text, on, off};
        table = std::make_shared<UITableView>(CGRectMake(0, 20, 320, 400));
        table->setBackgroundColor(kavtheme::screenBackground());
        table->setDataSource(screen);
        table->setDelegate(screen);
        window->addSubview(table);
        table->reloadData();
        UIScreenRenderer::layoutWindows();
    }
    void TearDown() override {
        table.reset();
        screen.reset();
        WidgetTest::TearDown();
    }

    std::shared_ptr<SettingsScreen> screen;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<CellDetail> detail;
    std::shared_ptr<CellSlider> slider;
    std::shared_ptr<CellTextField> text;
    std::shared_ptr<CellSwitch> on;
    std::shared_ptr<CellSwitch> off;
};

TEST_F(SettingsCells, ShareTheDarkLookAndPlaceTheirControls) {
    for (auto& cell : screen->cells) {
        auto* setting = dynamic_cast<SettingCell*>(cell.get());
        ASSERT_NE(setting, nullptr);
        EXPECT_EQ(cell->backgroundColor(), kavtheme::panelBackground());
        EXPECT_EQ(cell->textLabel()->text(), setting->Title());
        EXPECT_EQ(cell->textLabel()->textColor(), kavtheme::dimText());
    }
    EXPECT_EQ(on->tag(), 3001);
    EXPECT_EQ(detail->accessoryType(), UITableViewCellAccessoryType::DisclosureIndicator);
    EXPECT_EQ(text->accessoryType(), UITableViewCellAccessoryType::None);

    // Rows 320 x 44: the value right of the middle, clear of the arrow.
    auto value = detail->contentView()->viewWithTag<UILabel>(SettingCell::kTagValue);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->text(), "1.00");
    EXPECT_EQ(value->textAlignment(), NSTextAlignment::Right);
    EXPECT_TRUE(sameRect(value->frame(), CGRectMake(125, 12, 140, 20)));
    // The seconds left of the middle, the slider in the right half.
    EXPECT_EQ(slider->valueLabel()->text(), "10 秒");
    EXPECT_TRUE(sameRect(slider->valueLabel()->frame(), CGRectMake(90, 12, 60, 20)));
    EXPECT_TRUE(sameRect(slider->slider()->frame(), CGRectMake(165, 12, 140, 20)));
    EXPECT_EQ(slider->slider()->minimumValue(), 5);
    EXPECT_EQ(slider->slider()->maximumValue(), 25);
    EXPECT_EQ(slider->slider()->value(), 10);
    // The text in a rounded dark field over the right half.
    auto field = text->txtField();
    EXPECT_TRUE(sameRect(field->frame(), CGRectMake(150, 7, 160, 30)));
    EXPECT_EQ(field->margin(), 10);
    EXPECT_EQ(field->text(), "KAV");
    EXPECT_EQ(field->backgroundColor(), kavtheme::inputBackground());
    EXPECT_EQ(field->clearButtonMode, UITextFieldViewMode::WhileEditing);
    // The switch right of the middle, clear of the edge.
    EXPECT_TRUE(sameRect(on->switchView()->frame(), CGRectMake(254, 6.5, 51, 31)));
    EXPECT_EQ(on->switchView()->onTintColor, kavtheme::accent());
    snapshot("settings-cells");

    // A wider row moves them along.
    table->setFrame(CGRectMake(0, 20, 375, 400));
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(on->switchView()->center().x, 375 / 2.0 + (375 - 51 - 30) / 2.0);
    EXPECT_EQ(value->center().x, 375 - 125);
}

TEST_F(SettingsCells, SwitchIsOnForOneOnlyAndReportsOneOrZero) {
    EXPECT_TRUE(on->switchView()->isOn());
    EXPECT_FALSE(off->switchView()->isOn());
    for (const char* value : {"true", "", "01", "yes"})
        EXPECT_FALSE(CellSwitch("t", 1, value).switchView()->isOn()) << value;

    UIDriver::tap(off->switchView());
    UIDriver::tap(on->switchView());
    EXPECT_EQ(screen->reports, (std::vector<Report>{{"1", 3004}, {"0", 3001}}));
    EXPECT_EQ(off->Value(), "1");
    EXPECT_EQ(on->Value(), "0");
}

TEST_F(SettingsCells, SliderShowsAndReportsWholeSeconds) {
    UISlider* s = slider->slider();
    s->setValue(17.6f);
    s->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(slider->valueLabel()->text(), "18 秒");
    EXPECT_EQ(screen->reports.back(), (Report{"18", 3002}));

    // A drag reports each change; the label and the report agree at the end.
    screen->reports.clear();
    const CGRect track = s->convertRectToView(s->bounds(), nullptr);
    UIDriver::drag(CGPointMake(CGRectGetMidX(track), CGRectGetMidY(track)),
                   CGPointMake(CGRectGetMaxX(track) + 20, CGRectGetMidY(track)), 0.3, 6);
    ASSERT_GE(screen->reports.size(), 2u);
    EXPECT_EQ(screen->reports.back(), (Report{"25", 3002}));
    EXPECT_EQ(slider->valueLabel()->text(), "25 秒");
    EXPECT_EQ(slider->Value(), "25");

    // A value that is no number starts the slider at its minimum.
    CellSlider odd("请求超时", 3002, "abc", 5, 25);
    EXPECT_EQ(odd.slider()->value(), 5);
    EXPECT_EQ(odd.valueLabel()->text(), "abc 秒");
}

TEST_F(SettingsCells, TextFieldReportsTheWholeTextOnEachKeystroke) {
    platform::LogCapture log;
    UIDriver::tap(text->txtField().get());
    EXPECT_EQ(table->frame().origin.y, 20);  // inside a table nothing slides
    UIDriver::typeText("fx");
    EXPECT_EQ(screen->reports, (std::vector<Report>{{"KAVf", 3005}, {"KAVfx", 3005}}));
    EXPECT_EQ(log.count("onTextFieldValueChange"), 2u);
    UIDriver::typeText("\b\b\b\b\b");
    EXPECT_EQ(screen->reports.back(), (Report{"", 3005}));
    EXPECT_EQ(text->Value(), "");
    UIDriver::typeText("\n");  // return closes the keyboard
    EXPECT_FALSE(text->txtField()->isEditing());
}

TEST_F(SettingsCells, ReturnSlidesAMovedScreenBack) {
    // A form that the keyboard had pushed up.
    auto form = std::make_shared<UIView>(CGRectMake(0, -120, 320, 568));
    auto loose = std::make_shared<CellTextField>("备注", 7, "");
    loose->setFrame(CGRectMake(0, 200, 320, 44));
    form->addSubview(loose);
    window->addSubview(form);
    UIScreenRenderer::layoutWindows();
    UIDriver::tap(loose->txtField().get());
    EXPECT_EQ(form->frame().origin.y, -120);  // the field's container is at the top
    UIDriver::typeText("\n");
    time.advance(CellTextField::kSlideDuration + 0.05);
    EXPECT_EQ(form->frame().origin.y, 0);
    EXPECT_EQ(form->layer().presentation().frame().origin.y, 0);
}

TEST_F(SettingsCells, DetailShowsItsValueAndLeavesTheTapToTheScreen) {
    detail->setValue("5.00");
    EXPECT_EQ(detail->Value(), "5.00");
    EXPECT_EQ(detail->valueLabel()->text(), "5.00");
    UIDriver::tap(detail->valueLabel());
    EXPECT_EQ(screen->selected, (std::vector<UITableViewCell*>{detail.get()}));
    EXPECT_TRUE(screen->reports.empty());
}

TEST_F(SettingsCells, WithoutADelegateACellChangesOnlyItself) {
    for (auto& cell : screen->cells)
        dynamic_cast<SettingCell&>(*cell).delegate.reset();
    platform::LogCapture log;
    UIDriver::tap(off->switchView());
    UIDriver::tap(text->txtField().get());
    UIDriver::typeText("1");
    slider->slider()->setValue(20);
    slider->slider()->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_TRUE(off->switchView()->isOn());
    EXPECT_EQ(text->Value(), "KAV1");
    EXPECT_EQ(slider->valueLabel()->text(), "20 秒");
    EXPECT_TRUE(screen->reports.empty());
    EXPECT_EQ(log.count("onTextFieldValueChange"), 0u);

    // The cells do not keep the screen alive.
    on->delegate = screen;
    std::weak_ptr<SettingsScreen> weak = screen;
    table->setDataSource({});
    table->setDelegate({});
    auto cells = screen->cells;
    screen.reset();
    EXPECT_TRUE(weak.expired());
    UIDriver::tap(on->switchView());
    EXPECT_FALSE(on->switchView()->isOn());
}

TEST_F(SettingsCells, ItemRowShowsACaptionAndAValue) {
    auto item = std::make_shared<CellItem>(UITableViewCellStyle::Default, "ITEM");
    item->setFrame(CGRectMake(0, 440, 320, 44));
    window->addSubview(item);
    item->showItemWithLabel("可用保证金", "10,000.00", 100);
    auto label = item->cellLabel();
    auto value = item->cellValue();
    ASSERT_TRUE(label && value);
    EXPECT_TRUE(sameRect(label->frame(), CGRectMake(10, 0, 90, 44)));
    EXPECT_TRUE(sameRect(value->frame(), CGRectMake(110, 0, 200, 44)));
    EXPECT_EQ(value->textAlignment(), NSTextAlignment::Right);
    EXPECT_EQ(value->text(), "10,000.00");
    EXPECT_EQ(label->textColor(), UIColor::grey255(20));
    value->setTextColor(kavtheme::forSign(-1));  // the account screens' colouring
    snapshot("cell-item");

    item->showItemWithLabel("浮动盈亏", "-12.50", 160);  // built once: the width stays
    EXPECT_EQ(item->cellLabel(), label);
    EXPECT_EQ(label->text(), "浮动盈亏");
    EXPECT_TRUE(sameRect(label->frame(), CGRectMake(10, 0, 90, 44)));
}

}  // namespace
