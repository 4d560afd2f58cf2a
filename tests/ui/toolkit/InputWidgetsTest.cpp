// The input rows and their held step buttons, the inset text field, the
// close bar, the two-size price and the triangle mark.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/LabelPrice.h"
#include "ui/toolkit/TriangleView.h"
#include "ui/toolkit/UIKAVInputField.h"
#include "ui/toolkit/UIKAVKBAccessorView.h"

using namespace platform::ui;
using widgettest::sameColor;
using widgettest::sameWidgetRect;

namespace {

struct PressLog : UIKAVInputFieldDelegate {
    std::vector<long> tags;
    void onKAVInputButtonPress(UIButton* sender) override { tags.push_back(sender->tag()); }
};

class InputWidgets : public widgettest::WidgetTest {
  protected:
    std::shared_ptr<UIKAVInputField> addRow(const CGRect& frame, int style) {
        auto row = std::make_shared<UIKAVInputField>(frame, "数量", style, 200);
        window->addSubview(row);
        UIScreenRenderer::layoutWindows();
        return row;
    }
    static CGRect frameOf(const UIKAVInputField& row, long tag) {
        auto v = row.viewWithTag(tag);
        return v ? v->frame() : CGRectNull;
    }
};

TEST_F(InputWidgets, SixStylesLayOutTheirParts) {
    struct Expected {
        CGRect label, field, minus, plus;
    };
    // Rows 300 wide and 40 high (4 and 5: 100, their buttons lie below 40),
    // the field 200 wide.
    const Expected cases[] = {
        {{{24, 0}, {76, 40}}, {{100, 0}, {200, 40}}, CGRectNull, CGRectNull},
        {{{0, 0}, {100, 40}}, {{100, 0}, {200, 40}}, CGRectNull, CGRectNull},
        {{{0, 0}, {100, 40}}, {{100, 0}, {200, 40}}, CGRectNull, CGRectNull},
        {{{0, 10}, {100, 40}}, {{100, 12}, {200, 40}}, CGRectNull, CGRectNull},
        {{{0, 0}, {120, 30}}, {{0, 32}, {200, 30}}, {{199, 32}, {51, 30}}, {{249, 32}, {50, 30}}},
        {{{0, 0}, {120, 30}}, {{0, 32}, {200, 30}}, {{0, 61}, {151, 30}}, {{150, 61}, {150, 30}}},
    };
    std::vector<std::shared_ptr<UIKAVInputField>> rows;
    CGFloat y = 10;
    for (int style = 0; style < 6; ++style) {
        SCOPED_TRACE(style);
        auto row = addRow(CGRectMake(10, y, 300, style >= 4 ? 100 : 40), style);
        y += style >= 4 ? 110 : 50;
        rows.push_back(row);
        auto label = std::dynamic_pointer_cast<UILabel>(row->subviews().at(0));
        ASSERT_TRUE(label);
        EXPECT_TRUE(sameWidgetRect(label->frame(), cases[style].label));
        EXPECT_TRUE(sameWidgetRect(row->textField()->frame(), cases[style].field));
        EXPECT_TRUE(sameWidgetRect(frameOf(*row, UIKAVInputField::kTagMinus), cases[style].minus));
        EXPECT_TRUE(sameWidgetRect(frameOf(*row, UIKAVInputField::kTagPlus), cases[style].plus));
        EXPECT_EQ(row->viewWithTag(UIKAVInputField::kTagIcon) != nullptr, style == 0);
    }
    auto shot = snapshot("input-rows");
    ASSERT_TRUE(shot);
    EXPECT_TRUE(sameColor(shot->pixelAt(20, 115), kavtheme::accent()));  // style 2's caption
    // Style 0's gear, recoloured: its ring in the accent colour, its hole not.
    EXPECT_TRUE(sameColor(shot->pixelAt(30, 24), kavtheme::accent()));
    EXPECT_TRUE(sameColor(shot->pixelAt(30, 30), UIColor::grey255(30)));

    // A style named by its enumerator lays out as its number does.
    for (int style = 0; style < 6; ++style) {
        SCOPED_TRACE(style);
        const auto named = UIKAVInputField::styleFromNumber(style);
        ASSERT_TRUE(named.has_value());
        const auto& numbered = rows[static_cast<size_t>(style)];
        auto typed = std::make_shared<UIKAVInputField>(numbered->frame(), "数量", *named, 200);
        ASSERT_EQ(typed->subviews().size(), numbered->subviews().size());
        EXPECT_TRUE(sameWidgetRect(typed->textField()->frame(), cases[style].field));
        EXPECT_TRUE(sameWidgetRect(frameOf(*typed, UIKAVInputField::kTagPlus), cases[style].plus));
        EXPECT_EQ(typed->viewWithTag(UIKAVInputField::kTagIcon) != nullptr, style == 0);
    }

    // Any other style is the plain view.
    for (int style : {-1, 6}) {
        EXPECT_FALSE(UIKAVInputField::styleFromNumber(style).has_value());
        UIKAVInputField plain(CGRectMake(0, 0, 300, 40), "数量", style, 200);
        EXPECT_TRUE(plain.subviews().empty());
        plain.setIcon(nullptr);
    }
}

TEST_F(InputWidgets, TapsReachOnlyALiveDelegate) {
    auto row = addRow(CGRectMake(10, 100, 300, 70), 4);
    auto plus = row->viewWithTag<UIButton>(UIKAVInputField::kTagPlus);
    UIDriver::tap(plus.get());  // no delegate: nothing to tell
    auto log = std::make_shared<PressLog>();
    row->uiKavInputFielddelegate = log;
    UIDriver::tap(plus.get());
    UIDriver::tap(row->viewWithTag(UIKAVInputField::kTagMinus).get());
    EXPECT_EQ(log->tags, (std::vector<long>{1002, 1001}));
    log.reset();  // not kept by the row: gone, and not called
    UIDriver::tap(plus.get());
}

class HeldButton : public InputWidgets {
  protected:
    static constexpr int kFinger = 7;
    void SetUp() override {
        InputWidgets::SetUp();
        baseline = platform::RunLoop::main().timerCount();
    }
    // A fresh row whose "+" has been held until the repetition began.
    std::shared_ptr<UIKAVInputField> holdPlus() {
        auto row = addRow(CGRectMake(10, 100, 300, 100), 5);
        row->uiKavInputFielddelegate = log;
        log->tags.clear();
        TouchInput::touchDown(kFinger, plusPoint(*row));
        time.advance(UIKAVInputField::kLongPressDuration);
        EXPECT_TRUE(row->isRepeating());
        EXPECT_EQ(log->tags.size(), 1u);
        return row;
    }
    static CGPoint plusPoint(const UIKAVInputField& row) {
        return UIDriver::screenCenterOf(row.viewWithTag(UIKAVInputField::kTagPlus).get());
    }
    // The repetition's timer is gone (not merely postponed) and no press follows.
    void expectStopped() {
        const size_t presses = log->tags.size();
        EXPECT_EQ(platform::RunLoop::main().timerCount(), baseline);
        time.advance(1);
        EXPECT_EQ(log->tags.size(), presses);
    }

    std::shared_ptr<PressLog> log = std::make_shared<PressLog>();
    size_t baseline = 0;
};

TEST_F(HeldButton, RepeatsAfterEightTenthsThenEveryTwentiethUntilLifted) {
    auto row = addRow(CGRectMake(10, 100, 300, 100), 5);
    row->uiKavInputFielddelegate = log;
    TouchInput::touchDown(kFinger, plusPoint(*row));
    time.advance(0.79);
    EXPECT_TRUE(log->tags.empty());
    time.advance(0.01);  // the first press at once
    EXPECT_EQ(log->tags.size(), 1u);
    time.advance(0.049);
    EXPECT_EQ(log->tags.size(), 1u);
    time.advance(0.002);
    EXPECT_EQ(log->tags.size(), 2u);
    time.advance(0.5);
    EXPECT_EQ(log->tags, std::vector<long>(12, UIKAVInputField::kTagPlus));
    TouchInput::touchUp(kFinger, plusPoint(*row));  // the lift is no extra tap
    time.drain();
    EXPECT_EQ(log->tags.size(), 12u);
    expectStopped();

    // A tap is one press; a finger that slides away early never repeats.
    UIDriver::longPress(plusPoint(*row), 0.5);
    EXPECT_EQ(log->tags.size(), 13u);
    const CGPoint away = CGPointMake(plusPoint(*row).x, plusPoint(*row).y + 100);
    TouchInput::touchDown(kFinger, plusPoint(*row));
    time.advance(0.3);
    TouchInput::touchMove(kFinger, away);
    time.advance(1);
    TouchInput::touchUp(kFinger, away);
    time.drain();
    EXPECT_EQ(log->tags.size(), 13u);
    expectStopped();
}

TEST_F(HeldButton, StopsOnEveryEndingOfThePress) {
    const std::vector<std::pair<const char*, std::function<void(UIKAVInputField&)>>> endings = {
        {"cancelled", [](UIKAVInputField&) { TouchInput::touchCancel(kFinger); }},
        {"recogniser disabled",
         [](UIKAVInputField& row) {
             row.viewWithTag(UIKAVInputField::kTagPlus)->gestureRecognizers()[0]->setEnabled(false);
         }},
        {"left the window", [](UIKAVInputField& row) { row.removeFromSuperview(); }},
    };
    for (const auto& [name, end] : endings) {
        SCOPED_TRACE(name);
        auto row = holdPlus();
        time.advance(0.1);
        end(*row);
        time.drain();
        EXPECT_FALSE(row->isRepeating());
        expectStopped();
        TouchInput::touchCancel(kFinger);
        row->removeFromSuperview();
    }
    // Destroyed while repeating (driven directly, off screen).
    auto loose = std::make_shared<UIKAVInputField>(CGRectMake(0, 0, 300, 40), "数量", 4, 200);
    loose->uiKavInputFielddelegate = log;
    loose->startSpeed(0.05, loose->viewWithTag<UIButton>(UIKAVInputField::kTagMinus));
    time.advance(0.101);
    EXPECT_EQ(log->tags.back(), UIKAVInputField::kTagMinus);
    loose.reset();
    expectStopped();
}

TEST_F(InputWidgets, SmallWidgets) {
    // The text field insets its text by the margin.
    UIKAVTextField field(CGRectMake(0, 0, 100, 30), 10);
    EXPECT_TRUE(sameWidgetRect(field.textRectForBounds(field.bounds()), CGRectMake(10, 0, 90, 30)));
    EXPECT_TRUE(sameWidgetRect(field.editingRectForBounds(field.bounds()), CGRectMake(10, 0, 90, 30)));

    // The close bar reports each touch event of its button.
    auto bar = std::make_shared<UIKAVKBAccessorView>(CGRectMake(0, 300, 320, 25));
    window->addSubview(bar);
    EXPECT_TRUE(sameWidgetRect(bar->closeButton()->frame(), CGRectMake(280, 0, 40, 25)));
    struct Closes : keyboardToolBarDelegate {
        int count = 0;
        void onToolBarPressed(UIButton*) override { ++count; }
    };
    UIDriver::tap(bar->closeButton());  // no delegate: nothing
    auto closes = std::make_shared<Closes>();
    bar->delegate = closes;
    UIDriver::tap(bar->closeButton());
    EXPECT_GE(closes->count, 2);  // touch down, touch up inside...

    // The triangle fills its right-pointing shape once it has a colour.
    auto mark = std::make_shared<TriangleView>(CGRectMake(100, 100, 20, 60));
    window->addSubview(mark);
    EXPECT_TRUE(sameColor(snapshot("triangle-blank")->pixelAt(104, 130), UIColor::grey255(30)));
    mark->setColor(kavtheme::accent());
    auto shot = snapshot("small-widgets");
    EXPECT_TRUE(sameColor(shot->pixelAt(104, 130), kavtheme::accent()));
    EXPECT_TRUE(sameColor(shot->pixelAt(117, 130), kavtheme::accent()));  // near the tip
    EXPECT_TRUE(sameColor(shot->pixelAt(117, 106), UIColor::grey255(30)));
    EXPECT_TRUE(sameColor(shot->pixelAt(117, 154), UIColor::grey255(30)));
}

TEST_F(InputWidgets, PriceShowsItsLastTwoCharactersLarge) {
    auto price =
        std::make_shared<LabelPrice>(CGRectMake(20, 100, 140, 40), 1.23456, 4, kavtheme::rise());
    window->addSubview(price);
    UILabel* small = price->lblSmall();
    EXPECT_EQ(small->text(), "1.23");
    EXPECT_EQ(price->lblLarge()->text(), "46");
    EXPECT_TRUE(sameWidgetRect(price->lblLarge()->frame(), CGRectMake(60, 0, 80, 40)));
    snapshot("label-price");

    // Double precision: a float would show ...88. The labels stay.
    price->setPrice(1234567.89, 2, kavtheme::fall());
    EXPECT_EQ(price->lblSmall(), small);
    EXPECT_EQ(small->text(), "1234567.");
    EXPECT_EQ(price->lblLarge()->text(), "89");
    EXPECT_EQ(price->lblLarge()->textColor(), kavtheme::fall());
    price->setPrice(7, 0, kavtheme::rise());  // shorter than two: all large
    EXPECT_EQ(small->text(), "");
    EXPECT_EQ(price->lblLarge()->text(), "7");
}

}  // namespace
