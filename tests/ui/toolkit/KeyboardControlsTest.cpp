// The keyboard bar of the forms: its items for each visible-controls mask,
// the arrows' enabling as the active field moves, stepping through a form
// with the driver (the bar rides on the keyboard), and what the delegate
// hears.
#include <cmath>

#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Toolbar.h"
#include "tests/ui/toolkit/ToolkitStage.h"
#include "ui/toolkit/KAVKeyboardControls.h"

using namespace toolkittest;

namespace {

struct Steps : KAVKeyboardControlsDelegate {
    std::vector<std::pair<UIView*, int32_t>> selected;
    int done = 0;
    void keyboardControls(KAVKeyboardControls*, UIView* field, int32_t direction) override {
        selected.emplace_back(field, direction);
    }
    void keyboardControlsDonePressed(KAVKeyboardControls*) override { ++done; }
};

// A form like the order screens': its fields make themselves active on the
// bar when they begin editing.
struct Form : UITextFieldDelegate {
    std::vector<std::shared_ptr<UITextField>> fields;
    std::shared_ptr<KAVKeyboardControls> bar;
    void textFieldDidBeginEditing(UITextField* field) override { bar->setActiveField(field); }
};

class KeyboardControlsTest : public ToolkitTest {
  protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        form = std::make_shared<Form>();
        for (int i = 0; i < 3; ++i) {
            auto field = std::make_shared<UITextField>(CGRectMake(20, 90 + i * 50, 280, 36));
            field->setBorderStyle(UITextBorderStyle::RoundedRect);
            field->setPlaceholder(i == 0 ? "数量" : i == 1 ? "止损价" : "止盈价");
            field->keyboardType = UIKeyboardType::DecimalPad;
            field->delegate = form;
            screen->view()->addSubview(field);
            form->fields.push_back(field);
        }
        form->bar = KAVKeyboardControls::initWithFields(views());
        form->bar->delegate = steps;
    }
    std::vector<UIViewPtr> views() const { return {form->fields.begin(), form->fields.end()}; }
    KAVKeyboardControls& bar() { return *form->bar; }
    bool previousEnabled() { return bar().leftArrowButton()->isEnabled(); }
    bool nextEnabled() { return bar().rightArrowButton()->isEnabled(); }
    // The kinds of the toolbar's items, left to right.
    std::vector<std::string> items() {
        std::vector<std::string> out;
        for (const auto& item : bar().toolbar()->items()) {
            if (item.get() == bar().leftArrowButton())
                out.push_back("previous");
            else if (item.get() == bar().rightArrowButton())
                out.push_back("next");
            else if (item.get() == bar().doneButton())
                out.push_back("done");
            else if (item->systemItem == UIBarButtonSystemItem::FixedSpace)
                out.push_back("fixed " + std::to_string(static_cast<int>(item->width)));
            else if (item->systemItem == UIBarButtonSystemItem::FlexibleSpace)
                out.push_back("flexible");
            else
                out.push_back("other");
        }
        return out;
    }

    std::shared_ptr<Form> form;
    std::shared_ptr<Steps> steps = std::make_shared<Steps>();
};

TEST_F(KeyboardControlsTest, ItemsFollowTheVisibleControlsMask) {
    EXPECT_EQ(bar().frame(), CGRectMake(0, 0, 320, 44));
    EXPECT_EQ(bar().toolbar()->frame(), CGRectMake(0, 0, 320, 44));
    EXPECT_EQ(bar().visibleControls(), 3);
    const std::vector<std::string> both = {"previous", "fixed 22", "next", "flexible", "done"};
    EXPECT_EQ(items(), both);
    const auto before = bar().toolbar()->items();
    bar().setVisibleControls(3);
    EXPECT_EQ(bar().toolbar()->items(), before) << "the same mask rebuilds nothing";

    bar().setVisibleControls(KAVKeyboardControlDone);
    EXPECT_EQ(items(), (std::vector<std::string>{"flexible", "done"}));
    bar().setVisibleControls(KAVKeyboardControlPreviousNext);
    EXPECT_EQ(items(), (std::vector<std::string>{"previous", "fixed 22", "next"}));
    bar().setVisibleControls(0);
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(bar().doneButton()->displayTitle(), "Done");
    EXPECT_TRUE(bar().enableInputClicksWhenVisible());
}

TEST_F(KeyboardControlsTest, ArrowsFollowTheActiveFieldsPlaceInTheList) {
    // Nothing active yet: both off, stepping does nothing.
    EXPECT_FALSE(previousEnabled());
    EXPECT_FALSE(nextEnabled());
    bar().selectNextField();
    bar().selectPreviousField();
    EXPECT_EQ(bar().activeField(), nullptr);
    EXPECT_TRUE(steps->selected.empty());

    bar().setActiveField(form->fields[1].get());
    EXPECT_TRUE(form->fields[1]->isFirstResponder());
    EXPECT_TRUE(previousEnabled());
    EXPECT_TRUE(nextEnabled());

    bar().selectNextField();
    EXPECT_EQ(bar().activeField(), form->fields[2].get());
    EXPECT_TRUE(form->fields[2]->isFirstResponder());
    EXPECT_TRUE(previousEnabled());
    EXPECT_FALSE(nextEnabled());
    bar().selectNextField();  // at the end: nothing
    bar().selectPreviousField();
    bar().selectPreviousField();
    EXPECT_EQ(bar().activeField(), form->fields[0].get());
    EXPECT_FALSE(previousEnabled());
    EXPECT_TRUE(nextEnabled());
    const std::vector<std::pair<UIView*, int32_t>> expected = {
        {form->fields[2].get(), 1}, {form->fields[1].get(), 0}, {form->fields[0].get(), 0}};
    EXPECT_EQ(steps->selected, expected);

    // A view outside the list changes nothing, not even the arrows.
    auto stranger = std::make_shared<UITextField>(CGRectMake(20, 300, 280, 36));
    screen->view()->addSubview(stranger);
    bar().setActiveField(stranger.get());
    EXPECT_EQ(bar().activeField(), form->fields[0].get());
    EXPECT_FALSE(previousEnabled());
    EXPECT_TRUE(nextEnabled());
    // None clears the active field and leaves the arrows as they were.
    bar().setActiveField(nullptr);
    EXPECT_EQ(bar().activeField(), nullptr);
    EXPECT_TRUE(nextEnabled());
}

TEST_F(KeyboardControlsTest, OneFieldKeepsBothArrowsOffAndDoneStillReports) {
    auto single = KAVKeyboardControls::initWithFields({form->fields[0]});
    single->delegate = steps;
    single->setActiveField(form->fields[0].get());
    EXPECT_FALSE(single->leftArrowButton()->isEnabled());
    EXPECT_FALSE(single->rightArrowButton()->isEnabled());
    single->doneButton()->sendAction();
    EXPECT_EQ(steps->done, 1);
    EXPECT_TRUE(form->fields[0]->isFirstResponder()) << "the bar leaves the field to the form";
}

TEST_F(KeyboardControlsTest, FormIsSteppedThroughOnTheKeyboard) {
    for (const auto& field : form->fields)
        EXPECT_EQ(field->inputAccessoryView().get(), &bar());
    UIDriver::tap(form->fields[0].get());
    time.advance(0.3);
    ASSERT_TRUE(UIKeyboard::shared().isVisible());
    EXPECT_EQ(bar().activeField(), form->fields[0].get());
    // The bar sits on the keys, 44 high.
    EXPECT_DOUBLE_EQ(UIKeyboard::shared().frame().size.height, 216 + 44);
    EXPECT_TRUE(UIDriver::isVisible(&bar()));
    snapshot("keyboard-bar-first-field");

    UIDriver::tap(bar().toolbar()->viewForItem(bar().rightArrowButton()));
    UIDriver::typeText("12");
    EXPECT_TRUE(form->fields[1]->isFirstResponder());
    EXPECT_EQ(form->fields[1]->text(), "12");
    UIDriver::tap(bar().toolbar()->viewForItem(bar().rightArrowButton()));
    EXPECT_TRUE(form->fields[2]->isFirstResponder());
    time.advance(0.3);
    snapshot("keyboard-bar-last-field");
    // The disabled arrow takes the tap and does nothing.
    UIDriver::tap(bar().toolbar()->viewForItem(bar().rightArrowButton()));
    EXPECT_TRUE(form->fields[2]->isFirstResponder());
    UIDriver::tap(bar().toolbar()->viewForItem(bar().doneButton()));
    EXPECT_EQ(steps->done, 1);
    EXPECT_EQ(steps->selected.size(), 2u);
}

// The pixel of a view on the screen (drawn at scale 2) that scores highest.
UIColor mostOf(UIView* view, double (*score)(const UIColor&)) {
    const auto shot = UIDriver::renderImage(2);
    const CGPoint a = UIDriver::screenPointOf(view, {0, 0});
    const CGPoint b = UIDriver::screenPointOf(view, {view->bounds().size.width, view->bounds().size.height});
    const CGRect r = CGRectMake(a.x, a.y, b.x - a.x, b.y - a.y);
    UIColor best = UIColor::blackColor();
    for (int y = static_cast<int>(r.origin.y * 2); y < static_cast<int>(CGRectGetMaxY(r) * 2); ++y)
        for (int x = static_cast<int>(r.origin.x * 2); x < static_cast<int>(CGRectGetMaxX(r) * 2);
             ++x) {
            const UIColor p = shot->pixelAt(x, y);
            if (score(p) > score(best)) best = p;
        }
    return best;
}
double brightness(const UIColor& c) {
    return c.red + c.green + c.blue;
}
double blueness(const UIColor& c) {
    return c.blue - c.red;
}

TEST_F(KeyboardControlsTest, OnTheDarkBarAnEnabledArrowIsWhiteAndADisabledOneAReadableGrey) {
    UIDriver::tap(form->fields[0].get());
    time.advance(0.3);
    ASSERT_FALSE(previousEnabled());
    ASSERT_TRUE(nextEnabled());
    UIView* previous = bar().toolbar()->viewForItem(bar().leftArrowButton());
    UIView* next = bar().toolbar()->viewForItem(bar().rightArrowButton());
    const auto grey = [](const UIColor& c, double level) {
        return std::fabs(c.red - level) < 0.04 && std::fabs(c.green - level) < 0.04 &&
               std::fabs(c.blue - level) < 0.04;
    };
    const UIColor on = mostOf(next, brightness);
    const UIColor off = mostOf(previous, brightness);
    EXPECT_TRUE(grey(on, 1.0)) << on.red << " " << on.green << " " << on.blue;
    EXPECT_TRUE(grey(off, 142 / 255.0)) << off.red << " " << off.green << " " << off.blue;
    // Each chevron stands in the middle of its button, on the bar.
    const auto shot = UIDriver::renderImage(2);
    for (UIView* arrow : {previous, next}) {
        const CGPoint centre = UIDriver::screenCenterOf(arrow);
        double top = 1e9, bottom = -1, left = 1e9, right = -1;
        for (int y = static_cast<int>((centre.y - 21) * 2); y < (centre.y + 21) * 2; ++y)
            for (int x = static_cast<int>((centre.x - 22) * 2); x < (centre.x + 22) * 2; ++x)
                if (brightness(shot->pixelAt(x, y)) > 1.5) {
                    top = std::min(top, y / 2.0), bottom = std::max(bottom, (y + 1) / 2.0);
                    left = std::min(left, x / 2.0), right = std::max(right, (x + 1) / 2.0);
                }
        EXPECT_NEAR((top + bottom) / 2, centre.y, 1);
        EXPECT_NEAR((left + right) / 2, centre.x, 1);
        EXPECT_GE(bottom - top, 16);
    }
    // "Done" keeps the tint.
    const UIColor done = mostOf(bar().toolbar()->viewForItem(bar().doneButton()), blueness);
    EXPECT_GT(done.blue, done.red + 0.3);

    // On a light bar the arrows take the tint instead.
    bar().setBarStyle(2);
    bar().setBarStyle(0);
    ASSERT_EQ(bar().toolbar()->barStyle(), UIBarStyle::Default);
    const UIColor tinted =
        mostOf(bar().toolbar()->viewForItem(bar().rightArrowButton()), blueness);
    EXPECT_GT(tinted.blue, tinted.red + 0.3);
}

TEST_F(KeyboardControlsTest, ViewOutsideTheTextKindsIsSteppedToWithoutTheBar) {
    auto plain = std::make_shared<UIView>(CGRectMake(20, 300, 280, 36));
    screen->view()->addSubview(plain);
    auto fields = views();
    fields.push_back(plain);
    bar().setFields(fields);
    EXPECT_EQ(plain->inputAccessoryView(), nullptr);
    bar().setActiveField(form->fields[2].get());
    EXPECT_TRUE(nextEnabled());
    bar().selectNextField();
    EXPECT_EQ(bar().activeField(), plain.get());
    EXPECT_EQ(steps->selected.back(), std::make_pair(static_cast<UIView*>(plain.get()), 1));
}

TEST_F(KeyboardControlsTest, LookSettersPassOnOnlyChanges) {
    // The stored style starts at 0 while the bar shows style 1: setting 0
    // is no change and leaves the bar as it is.
    EXPECT_EQ(bar().barStyle(), 0);
    EXPECT_EQ(bar().toolbar()->barStyle(), UIBarStyle::Black);
    bar().setBarStyle(0);
    EXPECT_EQ(bar().toolbar()->barStyle(), UIBarStyle::Black);
    bar().setBarStyle(2);
    EXPECT_EQ(bar().toolbar()->barStyle(), UIBarStyle::BlackTranslucent);
    bar().setDoneTitle("完成");
    EXPECT_EQ(bar().doneButton()->displayTitle(), "完成");
}

TEST_F(KeyboardControlsTest, GoneDelegateIsNotCalledAndTheBarGoesWithItsFields) {
    bar().setActiveField(form->fields[0].get());
    steps.reset();  // the form's delegate went away
    bar().selectNextField();
    bar().doneButton()->sendAction();
    EXPECT_EQ(bar().activeField(), form->fields[1].get());

    // The fields hold the bar; the bar does not hold the fields back.
    window->endEditing(true);
    std::weak_ptr<KAVKeyboardControls> weakBar = form->bar;
    form->bar.reset();
    EXPECT_FALSE(weakBar.expired());
    for (const auto& field : form->fields)
        field->removeFromSuperview();
    form->fields.clear();
    time.advance(0.5);
    EXPECT_TRUE(weakBar.expired());
}

}  // namespace
