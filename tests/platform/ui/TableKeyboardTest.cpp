#include <gtest/gtest.h>

#include <any>
#include <set>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/RefreshControl.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/Stage.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;
using platform::Notification;
using platform::NotificationCenter;

namespace {

using uitest::Stage;

class Rows : public UITableViewDataSource, public UITableViewDelegate {
  public:
    std::vector<std::string> rows;
    std::vector<bool> expanded;
    int created = 0;
    std::vector<long> selected;
    std::vector<long> deleted;
    std::set<long> locked;  // rows that cannot be edited
    long tableViewNumberOfRowsInSection(UITableView*, long) override {
        return static_cast<long>(rows.size());
    }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView* t, NSIndexPath ip) override {
        auto cell = t->dequeueReusableCellWithIdentifier("ROW");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, "ROW");
            cell->selectionStyle = UITableViewCellSelectionStyle::None;
            ++created;
        }
        cell->textLabel()->setText(rows[static_cast<size_t>(ip.row)]);
        return cell;
    }
    double tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath ip) override {
        return expanded.size() > static_cast<size_t>(ip.row) &&
                       expanded[static_cast<size_t>(ip.row)]
                   ? 188
                   : 65;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath ip) override {
        selected.push_back(ip.row);
    }
    bool tableViewCanEditRowAtIndexPath(UITableView*, NSIndexPath ip) override {
        return !locked.count(ip.row);
    }
    void tableViewCommitEditingStyle(UITableView* t, UITableViewCellEditingStyle style,
                                     NSIndexPath ip) override {
        if (style != UITableViewCellEditingStyle::Delete) return;
        deleted.push_back(ip.row);
        rows.erase(rows.begin() + ip.row);
        t->reloadData();
    }
};

// A full-screen table over the rows, laid out.
std::shared_ptr<UITableView> showTable(Stage& s, const std::shared_ptr<Rows>& rows) {
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 568));
    table->setDataSource(rows);
    table->setDelegate(rows);
    s.window->addSubview(table);
    table->reloadData();
    UIScreenRenderer::layoutWindows();
    return table;
}

TEST(Tables, ReuseCellsAsRowsScrollAndReloadOnlyTheGivenRows) {
    Stage s;
    auto rows = std::make_shared<Rows>();
    for (int i = 0; i < 100; ++i)
        rows->rows.push_back("row " + std::to_string(i));
    auto table = showTable(s, rows);
    EXPECT_EQ(table->contentSize().height, 6500);
    const size_t onScreen = table->visibleCells().size();
    EXPECT_EQ(onScreen, 9u);  // 568 / 65
    EXPECT_EQ(rows->created, 9);

    // Scrolling through the whole list makes no new cells: they are reused.
    for (int i = 0; i < 20; ++i) {
        table->setContentOffset({0, i * 300.0});
        UIScreenRenderer::layoutWindows();
    }
    EXPECT_LE(rows->created, 11);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 92})->textLabel()->text(), "row 92");

    // Reloading one row: only that row's cell is asked for again.
    table->setContentOffset({0, 0});
    UIScreenRenderer::layoutWindows();
    UITableViewCell* first = table->cellForRowAtIndexPath({0, 0});
    UITableViewCell* second = table->cellForRowAtIndexPath({0, 1});
    rows->rows[1] = "changed";
    rows->expanded = {false, true};
    table->reloadRowsAtIndexPaths({{0, 1}}, UITableViewRowAnimation::Automatic);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), first);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->textLabel()->text(), "changed");
    (void)second;
    // The rows below moved down with the taller row (the drawing animates).
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 2}).origin.y, 65 + 188);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 2})->frame().origin.y, 65 + 188);
    s.time.advance(0.3);
}

TEST(Tables, TapSelectsSwipeOffersDeleteAndDragDoesNeither) {
    Stage s;
    auto rows = std::make_shared<Rows>();
    rows->rows = {"a", "b", "c"};
    auto table = showTable(s, rows);

    UIDriver::tapAt({160, 100});  // row 1
    EXPECT_EQ(rows->selected, (std::vector<long>{1}));
    UIDriver::drag({160, 100}, {160, 300}, 0.2, 5);  // a scroll, not a tap
    EXPECT_EQ(rows->selected, (std::vector<long>{1}));
    s.time.advance(1);  // the list springs back into place

    UIDriver::drag({300, 30}, {150, 30}, 0.2, 5);  // swipe left on row 0
    auto* cell = table->cellForRowAtIndexPath({0, 0});
    ASSERT_TRUE(cell->showingDeleteConfirmation());
    UIDriver::tap(UIDriver::viewWithText("Delete"));
    EXPECT_EQ(rows->deleted, (std::vector<long>{0}));
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
}

// A price board reloads its rows on every quote: a finger already on a row
// still selects it when lifted, though the row's cell was replaced meanwhile.
TEST(Tables, ATapSelectsItsRowThoughTheRowsReloadUnderTheFinger) {
    Stage s;
    auto rows = std::make_shared<Rows>();
    rows->rows = {"a", "b", "c", "d"};
    auto table = showTable(s, rows);

    // Two rows reload: the touched cell goes back to the pool (or to the
    // other row); the press stays shown on the row under the finger.
    TouchInput::touchDown(1, {160, 100});  // row 1
    table->reloadRowsAtIndexPaths({{0, 1}, {0, 2}}, UITableViewRowAnimation::None);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isHighlighted());
    TouchInput::touchUp(1, {160, 100});
    EXPECT_EQ(rows->selected, (std::vector<long>{1}));

    // The whole list reloaded under the finger, lifted before the next
    // frame lays the new cells out: the same.
    TouchInput::touchDown(1, {160, 160});  // row 2
    table->reloadData();
    TouchInput::touchUp(1, {160, 160});
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(rows->selected, (std::vector<long>{1, 2}));
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isHighlighted());
}

// A finger put down on a gliding list stops it where it shows: the rows stay
// under the finger, a tap only stops the glide (it selects nothing), and a
// drag goes on from there instead of from where the glide would have ended.
TEST(Tables, AFingerOnAGlidingListStopsItWhereItShows) {
    Stage s;
    auto rows = std::make_shared<Rows>();
    for (int i = 0; i < 100; ++i)
        rows->rows.push_back("row " + std::to_string(i));
    auto table = showTable(s, rows);
    auto shown = [&] { return table->layer().presentation().bounds.origin.y; };

    UIDriver::drag({160, 500}, {160, 100}, 0.1, 5);  // a flick up
    ASSERT_TRUE(table->isDecelerating());
    s.time.advance(0.1);
    const double seen = shown();
    ASSERT_GT(seen, 400);
    ASSERT_LT(seen, table->contentOffset().y);  // still on its way
    UIDriver::tapAt({160, 300});
    EXPECT_TRUE(rows->selected.empty());
    EXPECT_FALSE(table->isDecelerating());
    s.time.advance(1);
    EXPECT_NEAR(table->contentOffset().y, seen, 1);
    EXPECT_NEAR(shown(), seen, 1);
    // Then a tap selects the row it lands on.
    UIDriver::tapAt({160, 300});
    ASSERT_EQ(rows->selected.size(), 1u);
    EXPECT_EQ(rows->selected[0], static_cast<long>((table->contentOffset().y + 300) / 65));

    // A drag that starts on a glide moves on from where the list shows.
    UIDriver::drag({160, 500}, {160, 100}, 0.1, 5);
    s.time.advance(0.1);
    const double before = shown();
    TouchInput::touchDown(1, {160, 300});
    for (int i = 1; i <= 5; ++i) {
        s.time.advance(0.05);
        TouchInput::touchMove(1, {160, 300 - 10.0 * i});
    }
    EXPECT_NEAR(shown(), before + 50, 1);
    s.time.advance(0.5);
    TouchInput::touchUp(1, {160, 250});
    s.time.advance(1);
    EXPECT_NEAR(table->contentOffset().y, before + 50, 1);

    // Held on a list springing back from past its end, the list waits, and
    // goes back into place when the finger lifts.
    table->setContentOffset({0, 0});
    UIDriver::drag({160, 100}, {160, 400}, 0.5, 10);  // pulled down past the top
    ASSERT_LT(shown(), -50);
    TouchInput::touchDown(1, {160, 300});
    s.time.advance(1);
    TouchInput::touchUp(1, {160, 300});
    s.time.advance(1);
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_EQ(shown(), 0);

    // The list shrinks under a glide: it shows its new end at once, not the
    // empty room past it until the glide would have ended.
    UIDriver::drag({160, 500}, {160, 100}, 0.1, 5);
    s.time.advance(0.1);
    ASSERT_TRUE(table->isDecelerating());
    rows->rows.resize(12);
    table->reloadData();
    EXPECT_FALSE(table->isDecelerating());
    EXPECT_EQ(shown(), table->maximumContentOffset().y);
    s.time.advance(0.1);
    EXPECT_EQ(shown(), table->maximumContentOffset().y);
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(table->visibleCells().size(), 9u);
}

// Rows deleted while the list shows its end, or while a finger is on it.
TEST(Tables, DeletedRowsTakeTheOffsetThePressAndTheSelectionWithThem) {
    Stage s;
    auto rows = std::make_shared<Rows>();
    for (int i = 0; i < 40; ++i)
        rows->rows.push_back("row " + std::to_string(i));
    auto table = showTable(s, rows);
    table->setContentOffset(table->maximumContentOffset());  // the end shows
    UIScreenRenderer::layoutWindows();
    table->selectRowAtIndexPath(NSIndexPath{0, 39}, false, UITableViewScrollPosition::None);
    rows->rows.resize(20);
    std::vector<NSIndexPath> gone;
    for (long r = 20; r < 40; ++r)
        gone.push_back({0, r});
    table->deleteRowsAtIndexPaths(gone, UITableViewRowAnimation::Fade);
    s.time.advance(0.5);
    UIScreenRenderer::layoutWindows();
    // No empty screen past the new end: the last rows show.
    EXPECT_EQ(table->contentOffset().y, table->maximumContentOffset().y);
    EXPECT_EQ(table->visibleCells().size(), 9u);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());

    // The pressed row goes while the finger is on it: lifting the finger
    // selects nothing (the row that moved into its place was not touched).
    table->setContentOffset({0, 0});
    UIScreenRenderer::layoutWindows();
    TouchInput::touchDown(1, {160, 100});  // row 1
    rows->rows.erase(rows->rows.begin() + 1);
    table->deleteRowsAtIndexPaths({{0, 1}}, UITableViewRowAnimation::Fade);
    TouchInput::touchUp(1, {160, 100});
    s.time.advance(0.5);
    EXPECT_TRUE(rows->selected.empty());
    // A row above the pressed one goes: the pressed row moved up from under
    // the finger, so the lift selects nothing either.
    TouchInput::touchDown(1, {160, 160});  // row 2
    rows->rows.erase(rows->rows.begin());
    table->deleteRowsAtIndexPaths({{0, 0}}, UITableViewRowAnimation::None);
    TouchInput::touchUp(1, {160, 160});
    EXPECT_TRUE(rows->selected.empty());
    // The selection follows its row when a row above it goes.
    table->selectRowAtIndexPath(NSIndexPath{0, 5}, false, UITableViewScrollPosition::None);
    rows->rows.erase(rows->rows.begin() + 2);
    table->deleteRowsAtIndexPaths({{0, 2}}, UITableViewRowAnimation::None);
    ASSERT_TRUE(table->indexPathForSelectedRow().has_value());
    EXPECT_EQ(table->indexPathForSelectedRow()->row, 4);
}

TEST(Tables, SidewaysDragsTheSwipeCannotUseGoToTheRecognisersAbove) {
    Stage s;
    // A drawer-like container: its pan watches every drag over the table.
    auto container = std::make_shared<UIView>(s.window->bounds());
    s.window->addSubview(container);
    int containerPans = 0;
    auto pan = std::make_shared<UIPanGestureRecognizer>([&](UIGestureRecognizer& g) {
        if (g.state() == UIGestureRecognizerState::Began) ++containerPans;
    });
    container->addGestureRecognizer(pan);
    auto rows = std::make_shared<Rows>();
    rows->rows = {"editable", "locked", "c"};
    rows->locked = {1};
    auto table = std::make_shared<UITableView>(container->bounds());
    table->setDataSource(rows);
    table->setDelegate(rows);
    container->addSubview(table);
    table->reloadData();
    UIScreenRenderer::layoutWindows();
    auto deleteShown = [&](long row) {
        return table->cellForRowAtIndexPath({0, row})->showingDeleteConfirmation();
    };

    UIDriver::drag({40, 100}, {250, 100}, 0.2, 5);  // rightward, nothing to put away
    EXPECT_EQ(containerPans, 1);
    UIDriver::drag({300, 100}, {100, 100}, 0.2, 5);  // leftward on a row that cannot go
    EXPECT_EQ(containerPans, 2);
    EXPECT_FALSE(deleteShown(1));

    UIDriver::drag({300, 30}, {150, 30}, 0.2, 5);  // leftward on a row that can go
    EXPECT_EQ(containerPans, 2);
    EXPECT_TRUE(deleteShown(0));
    UIDriver::drag({100, 30}, {250, 30}, 0.2, 5);  // rightward puts the button away
    EXPECT_EQ(containerPans, 2);
    EXPECT_FALSE(deleteShown(0));
    UIDriver::drag({100, 30}, {250, 30}, 0.2, 5);  // and the next one is the container's
    EXPECT_EQ(containerPans, 3);
    // Up and down stays the table's scrolling.
    UIDriver::drag({160, 300}, {160, 100}, 0.2, 5);
    EXPECT_EQ(containerPans, 3);
}

TEST(Controls, SegmentedControlSetInCodeFiresNothing) {
    Stage s;
    auto seg =
        std::make_shared<UISegmentedControl>(std::vector<std::string>{"市价建仓", "限价建仓"});
    seg->setFrame(CGRectMake(10, 10, 300, 30));
    s.window->addSubview(seg);
    std::vector<long> changes;
    seg->addTarget(
        [&](UIControl* c, UIEvent*) {
            changes.push_back(static_cast<UISegmentedControl*>(c)->selectedSegmentIndex());
        },
        UIControlEventValueChanged);
    seg->setSelectedSegmentIndex(0);
    seg->setSelectedSegmentIndex(1);
    EXPECT_TRUE(changes.empty());
    UIDriver::tapAt({80, 25});
    EXPECT_EQ(changes, (std::vector<long>{0}));
    UIDriver::tapAt({80, 25});  // same segment again: no change
    EXPECT_EQ(changes, (std::vector<long>{0}));
    seg->momentary = true;
    UIDriver::tapAt({240, 25});
    EXPECT_EQ(changes, (std::vector<long>{0, 1}));
    EXPECT_EQ(seg->selectedSegmentIndex(), UISegmentedControlNoSegment);

    // Switch and slider: taps and drags report, code does not.
    auto sw = std::make_shared<UISwitch>(CGRectMake(10, 100, 0, 0));
    s.window->addSubview(sw);
    int flips = 0;
    sw->addTarget([&](UIControl*, UIEvent*) { ++flips; }, UIControlEventValueChanged);
    sw->setOn(true);
    EXPECT_EQ(flips, 0);
    UIDriver::tap(sw.get());
    EXPECT_EQ(flips, 1);
    EXPECT_FALSE(sw->isOn());
    auto slider = std::make_shared<UISlider>(CGRectMake(10, 200, 228, 30));
    s.window->addSubview(slider);
    slider->setMinimumValue(5);
    slider->setMaximumValue(25);
    slider->setValue(10);
    std::vector<float> values;
    slider->addTarget(
        [&](UIControl* c, UIEvent*) { values.push_back(static_cast<UISlider*>(c)->value()); },
        UIControlEventValueChanged);
    UIDriver::drag({84, 215}, {124, 215}, 0.2, 5);
    ASSERT_FALSE(values.empty());
    EXPECT_NEAR(values.back(), 15,
                0.01);  // the thumb centre half way along 200 points: 15 of 5..25
}

class Filter : public UITextFieldDelegate {
  public:
    std::vector<std::string> log;
    // Digits and one ".", not first: the number fields' rule.
    bool textFieldShouldChangeCharactersInRange(UITextField* f, NSRange,
                                                const std::string& r) override {
        log.push_back(r);
        if (r == ".") return !f->text().empty() && f->text().find('.') == std::string::npos;
        for (char c : r)
            if (c < '0' || c > '9') return false;
        return true;
    }
    bool textFieldShouldReturn(UITextField* f) override {
        f->resignFirstResponder();
        return true;
    }
};

TEST(Keyboard, TypingGoesThroughTheDelegateAndNotificationsCarryTheFrame) {
    Stage s;
    auto field = std::make_shared<UITextField>(CGRectMake(20, 100, 200, 30));
    field->keyboardType = UIKeyboardType::DecimalPad;
    auto accessory = std::make_shared<UIView>(CGRectMake(0, 0, 320, 44));
    field->setInputAccessoryView(accessory);
    auto filter = std::make_shared<Filter>();
    field->delegate = filter;
    s.window->addSubview(field);
    int edits = 0;
    field->addTarget([&](UIControl*, UIEvent*) { ++edits; }, UIControlEventEditingChanged);

    std::vector<std::string> notices;
    CGRect shownFrame{};
    double duration = 0;
    auto& nc = NotificationCenter::defaultCenter();
    auto t1 = nc.addObserver(UIKeyboardWillShowNotification, [&](const Notification& n) {
        notices.push_back("willShow");
        shownFrame = std::any_cast<CGRect>(n.userInfo.at(UIKeyboardFrameEndUserInfoKey));
        duration = std::any_cast<double>(n.userInfo.at(UIKeyboardAnimationDurationUserInfoKey));
    });
    auto t2 = nc.addObserver(UIKeyboardDidShowNotification,
                             [&](const Notification&) { notices.push_back("didShow"); });
    auto t3 = nc.addObserver(UIKeyboardWillHideNotification,
                             [&](const Notification&) { notices.push_back("willHide"); });
    auto t4 = nc.addObserver(UIKeyboardDidHideNotification,
                             [&](const Notification&) { notices.push_back("didHide"); });

    UIDriver::tap(field.get());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(notices, (std::vector<std::string>{"willShow"}));
    EXPECT_EQ(shownFrame, CGRectMake(0, 568 - 216 - 44, 320, 216 + 44));
    EXPECT_DOUBLE_EQ(duration, 0.25);
    s.time.advance(0.25);
    EXPECT_EQ(notices, (std::vector<std::string>{"willShow", "didShow"}));
    EXPECT_EQ(accessory->window(), UIKeyboard::shared().window());
    EXPECT_EQ(UIKeyboard::shared().type(), UIKeyboardType::DecimalPad);

    // Keys of the decimal pad and typed text take the same road.
    UIDriver::typeText(".");  // refused: nothing typed yet
    UIDriver::tap(UIDriver::viewWithText("1"));
    UIDriver::typeText("2a.5.");
    EXPECT_EQ(field->text(), "12.5");
    EXPECT_EQ(edits, 4);
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "12.");
    EXPECT_EQ(filter->log, (std::vector<std::string>{".", "1", "2", "a", ".", "5", ".", ""}));

    // Return: the delegate resigns, the keyboard goes.
    UIDriver::typeText("\n");
    EXPECT_FALSE(field->isFirstResponder());
    s.time.advance(0.25);
    EXPECT_EQ(notices, (std::vector<std::string>{"willShow", "didShow", "willHide", "didHide"}));
    EXPECT_FALSE(UIKeyboard::shared().isVisible());
    UIDriver::typeText("9");  // no first responder: nothing happens
    EXPECT_EQ(field->text(), "12.");
}

TEST(Keyboard, AShownKeyboardTurnsWithTheInterfaceAndTellsItsNewFrame) {
    Stage s;
    auto screen = std::make_shared<UIViewController>();
    s.window->setRootViewController(screen);
    auto field = std::make_shared<UITextField>(CGRectMake(20, 100, 200, 30));
    auto accessory = std::make_shared<UIView>(CGRectMake(0, 0, 320, 44));
    field->setInputAccessoryView(accessory);
    screen->view()->addSubview(field);
    std::vector<CGRect> told;
    auto watch = NotificationCenter::defaultCenter().addObserver(
        UIKeyboardWillShowNotification, [&](const Notification& n) {
            told.push_back(std::any_cast<CGRect>(n.userInfo.at(UIKeyboardFrameEndUserInfoKey)));
        });
    UIDriver::tap(field.get());
    s.time.advance(0.25);
    auto& keyboard = UIKeyboard::shared();
    ASSERT_EQ(keyboard.window()->frame(), CGRectMake(0, 568 - 260, 320, 260));

    // Turned: the keys take the landscape height and the whole long side,
    // standing on the bottom of the turned screen, and those who move a field
    // above the keyboard hear where it now stands.
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    ASSERT_EQ(UIScreenRenderer::screenSize(), CGSizeMake(568, 320));
    s.time.advance(0.5);
    const CGRect landscape = CGRectMake(0, 320 - 162 - 44, 568, 162 + 44);
    EXPECT_EQ(keyboard.window()->frame(), landscape);
    EXPECT_EQ(keyboard.frame(), landscape);
    EXPECT_EQ(accessory->frame(), CGRectMake(0, 0, 568, 44));
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), landscape);
    // Typed keys are still the keyboard's own, laid out across the new width.
    UIDriver::tap(UIDriver::viewWithText("q"));
    EXPECT_EQ(field->text(), "q");

    // Back upright, and a keyboard that went in landscape comes back upright.
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    s.time.advance(0.5);
    EXPECT_EQ(keyboard.window()->frame(), CGRectMake(0, 568 - 260, 320, 260));
    EXPECT_EQ(told.back(), CGRectMake(0, 568 - 260, 320, 260));
    field->resignFirstResponder();
    s.time.advance(0.5);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    s.time.advance(0.5);
    UIDriver::tap(field.get());
    s.time.advance(0.5);
    EXPECT_EQ(keyboard.window()->frame(), landscape);
    field->resignFirstResponder();
    s.time.advance(0.5);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    s.window->setRootViewController(nullptr);
}

class Columns : public UIPickerViewDataSource, public UIPickerViewDelegate {
  public:
    std::vector<std::vector<std::string>> data{{"买", "卖", "-"}, {"a", "b", "c", "d", "e"}};
    std::vector<std::pair<long, long>> chosen;
    int made = 0;
    long numberOfComponentsInPickerView(UIPickerView*) override { return 2; }
    long pickerViewNumberOfRowsInComponent(UIPickerView*, long c) override {
        return static_cast<long>(data[static_cast<size_t>(c)].size());
    }
    UIViewPtr pickerViewViewForRow(UIPickerView*, long row, long c, UIViewPtr reusing) override {
        auto label = std::dynamic_pointer_cast<UILabel>(reusing);
        if (!label) {
            label = std::make_shared<UILabel>();
            ++made;
        }
        label->setText(data[static_cast<size_t>(c)][static_cast<size_t>(row)]);
        return label;
    }
    void pickerViewDidSelectRow(UIPickerView*, long row, long c) override {
        chosen.push_back({row, c});
    }
};

TEST(Pickers, SelectInCodeSilentlyTapAndDragReport) {
    Stage s;
    auto columns = std::make_shared<Columns>();
    auto picker = std::make_shared<UIPickerView>(CGRectMake(0, 300, 320, 0));
    picker->dataSource = columns;
    picker->delegate = columns;
    s.window->addSubview(picker);
    picker->reloadAllComponents();
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(picker->frame().size.height, 216);
    picker->selectRow(3, 1, true);
    picker->selectRow(9, 1, true);  // outside: ignored
    EXPECT_EQ(picker->selectedRowInComponent(1), 3);
    EXPECT_TRUE(columns->chosen.empty());
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(picker->viewForRow(3, 1)->debugText(), "d");
    // A tap on the row under the band's row (44 points lower) chooses it.
    UIDriver::tapAt({240, 300 + 108 + 44});
    EXPECT_EQ(columns->chosen, (std::vector<std::pair<long, long>>{{4, 1}}));
    // Dragging the first wheel up by two rows.
    UIDriver::drag({80, 408}, {80, 408 - 88}, 0.3, 6);
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    EXPECT_EQ(columns->chosen.back(), (std::pair<long, long>{2, 0}));
    EXPECT_LE(columns->made, 12);  // row views are reused
}

}  // namespace

namespace {

TEST(Tables, PullingDownFarEnoughStartsRefreshing) {
    Stage s;
    auto rows = std::make_shared<Rows>();
    rows->rows = {"a", "b"};
    auto table = showTable(s, rows);
    auto refresh = std::make_shared<UIRefreshControl>();
    refresh->setAttributedTitle("下拉列表刷新数据");
    table->addSubview(refresh);
    int pulls = 0;
    refresh->addTarget([&](UIControl*, UIEvent*) { ++pulls; }, UIControlEventValueChanged);

    UIDriver::drag({160, 100}, {160, 180}, 0.3, 6);  // 80 points at half speed: 40
    s.time.advance(0.5);
    EXPECT_EQ(pulls, 0);
    UIDriver::drag({160, 100}, {160, 300}, 0.3, 6);  // 100 points: far enough
    EXPECT_EQ(pulls, 1);
    EXPECT_TRUE(refresh->isRefreshing());
    EXPECT_EQ(table->contentInset().top, UIRefreshControl::kHeight);
    refresh->endRefreshing();
    EXPECT_FALSE(refresh->isRefreshing());
    EXPECT_EQ(table->contentInset().top, 0);
    s.time.advance(0.5);
    EXPECT_EQ(table->contentOffset().y, 0);
}

}  // namespace
