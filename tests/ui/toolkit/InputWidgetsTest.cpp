// The input rows with their step buttons and held-button repetition, the
// inset text field, the close bar, the two-size price and the triangle mark.
#include <gtest/gtest.h>

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
#include "ui/toolkit/UIKAVTextField.h"

using namespace platform::ui;
using widgettest::sameColor;
using widgettest::sameRect;

namespace {

class PressLog : public UIKAVInputFieldDelegate {
  public:
    std::vector<long> tags;
    void onKAVInputButtonPress(UIButton* sender) override {
        tags.push_back(sender ? sender->tag() : -1);
    }
};

class InputRows : public widgettest::WidgetTest {
  protected:
    std::shared_ptr<UIKAVInputField> addRow(const CGRect& frame, int style, CGFloat fieldWidth,
                                            const std::string& title = "数量") {
        auto row = std::make_shared<UIKAVInputField>(frame, title, style, fieldWidth);
        window->addSubview(row);
        UIScreenRenderer::layoutWindows();
        return row;
    }
    static UILabel* titleOf(const UIKAVInputField& row) {
        for (auto& sub : row.subviews())
            if (auto* label = dynamic_cast<UILabel*>(sub.get())) return label;
        return nullptr;
    }
};

TEST_F(InputRows, SixStylesLayTheirPartsOut) {
    struct Expected {
        int style;
        CGRect label;
        CGRect field;
    };
    // Rows 300 wide with a field 200 wide: W - F = 100; H is 40.
    const std::vector<Expected> cases = {
        {0, CGRectMake(24, 0, 76, 40), CGRectMake(100, 0, 200, 40)},
        {1, CGRectMake(0, 0, 100, 40), CGRectMake(100, 0, 200, 40)},
        {2, CGRectMake(0, 0, 100, 40), CGRectMake(100, 0, 200, 40)},
        {3, CGRectMake(0, 10, 100, 40), CGRectMake(100, 12, 200, 40)},
        {4, CGRectMake(0, 0, 120, 30), CGRectMake(0, 32, 200, 30)},
        {5, CGRectMake(0, 0, 120, 30), CGRectMake(0, 32, 200, 30)},
    };
    std::vector<std::shared_ptr<UIKAVInputField>> rows;
    CGFloat y = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        // Styles 4 and 5 put their buttons below 40: their rows are taller.
        auto row = addRow(CGRectMake(10, y, 300, c.style >= 4 ? 100 : 40), c.style, 200);
        y += c.style >= 4 ? 110 : 50;
        rows.push_back(row);
        ASSERT_NE(titleOf(*row), nullptr);
        EXPECT_EQ(titleOf(*row)->text(), "数量");
        EXPECT_TRUE(sameRect(titleOf(*row)->frame(), c.label));
        ASSERT_TRUE(row->textField());
        EXPECT_TRUE(sameRect(row->textField()->frame(), c.field));
        EXPECT_EQ(row->textField()->margin(), c.style == 3 ? 2 : 10);
        EXPECT_EQ(row->viewWithTag<UIImageView>(UIKAVInputField::kTagIcon) != nullptr,
                  c.style == 0);
        EXPECT_EQ(row->viewWithTag<UIButton>(UIKAVInputField::kTagMinus) != nullptr, c.style >= 4);
    }

    // Style 0 is framed and rounded in the accent colour; style 2's caption
    // sits on the accent colour.
    EXPECT_EQ(rows[0]->layer().borderColor(), kavtheme::accent());
    EXPECT_EQ(rows[0]->layer().borderWidth(), 1);
    EXPECT_EQ(rows[0]->layer().cornerRadius(), 5);
    EXPECT_EQ(titleOf(*rows[2])->backgroundColor(), kavtheme::accent());
    EXPECT_EQ(rows[1]->textField()->layer().borderColor(), kavtheme::dimText());
    EXPECT_EQ(rows[2]->textField()->layer().borderColor(), kavtheme::accent());
    EXPECT_TRUE(sameRect(rows[0]->viewWithTag(UIKAVInputField::kTagIcon)->frame(),
                         CGRectMake(8, 8, 24, 24)));

    // Style 4: "-" and "+" share the room beside the field, overlapping its
    // border and each other's by one point.
    auto minus4 = rows[4]->viewWithTag<UIButton>(UIKAVInputField::kTagMinus);
    auto plus4 = rows[4]->viewWithTag<UIButton>(UIKAVInputField::kTagPlus);
    ASSERT_TRUE(minus4 && plus4);
    EXPECT_TRUE(sameRect(minus4->frame(), CGRectMake(199, 32, 51, 30)));
    EXPECT_TRUE(sameRect(plus4->frame(), CGRectMake(249, 32, 50, 30)));
    EXPECT_EQ(minus4->currentTitle(), "-");
    EXPECT_EQ(plus4->currentTitle(), "+");
    EXPECT_EQ(minus4->backgroundColor(), kavtheme::inputBackground());
    // Style 5: under the field, each half the row wide.
    auto minus5 = rows[5]->viewWithTag<UIButton>(UIKAVInputField::kTagMinus);
    auto plus5 = rows[5]->viewWithTag<UIButton>(UIKAVInputField::kTagPlus);
    ASSERT_TRUE(minus5 && plus5);
    EXPECT_TRUE(sameRect(minus5->frame(), CGRectMake(0, 61, 151, 30)));
    EXPECT_TRUE(sameRect(plus5->frame(), CGRectMake(150, 61, 150, 30)));

    auto shot = snapshot("input-rows");
    ASSERT_TRUE(shot);
    // Style 2's caption ground, read from the picture.
    EXPECT_TRUE(sameColor(shot->pixelAt(20, 10 + 100 + 5), kavtheme::accent()));
    // Style 0's gear, recoloured: its ring in the accent colour, its hole not.
    auto icon = rows[0]->viewWithTag<UIImageView>(UIKAVInputField::kTagIcon);
    ASSERT_TRUE(icon->image());
    EXPECT_EQ(icon->image()->size(), CGSizeMake(24, 24));
    EXPECT_TRUE(sameColor(shot->pixelAt(10 + 8 + 12, 10 + 8 + 6), kavtheme::accent()));
    EXPECT_TRUE(sameColor(shot->pixelAt(10 + 8 + 12, 10 + 8 + 12), UIColor::grey255(30)));

    // The row shows what the user types.
    UIDriver::tap(rows[1]->textField().get());
    UIDriver::typeText("8888");
    EXPECT_EQ(rows[1]->textField()->text(), "8888");
}

TEST_F(InputRows, AStyleOutsideTheSixGivesThePlainView) {
    for (int style : {-1, 6}) {
        UIKAVInputField row(CGRectMake(0, 0, 300, 40), "数量", style, 200);
        EXPECT_TRUE(row.subviews().empty());
        EXPECT_EQ(row.textField(), nullptr);
        row.setIcon(nullptr);  // no icon to give it to: nothing happens
    }
}

TEST_F(InputRows, TapsReportTheButtonToALiveDelegateOnly) {
    auto row = addRow(CGRectMake(10, 100, 300, 70), 4, 200);
    auto plus = row->viewWithTag<UIButton>(UIKAVInputField::kTagPlus);
    auto minus = row->viewWithTag<UIButton>(UIKAVInputField::kTagMinus);

    UIDriver::tap(plus.get());  // no delegate: nothing to tell
    auto log = std::make_shared<PressLog>();
    row->uiKavInputFielddelegate = log;
    UIDriver::tap(plus.get());
    UIDriver::tap(minus.get());
    EXPECT_EQ(log->tags, (std::vector<long>{1002, 1001}));

    // The row does not keep its delegate: once gone it is not called.
    std::weak_ptr<PressLog> weak = log;
    log.reset();
    EXPECT_TRUE(weak.expired());
    UIDriver::tap(plus.get());
    time.advance(1);
}

class HeldButton : public InputRows {
  protected:
    void SetUp() override {
        InputRows::SetUp();
        row = addRow(CGRectMake(10, 100, 300, 100), 5, 200);
        log = std::make_shared<PressLog>();
        row->uiKavInputFielddelegate = log;
        plus = row->viewWithTag<UIButton>(UIKAVInputField::kTagPlus);
        baseline = platform::RunLoop::main().timerCount();
    }
    void TearDown() override {
        TouchInput::touchCancel(kFinger);
        row.reset();
        InputRows::TearDown();
    }
    // Puts a finger on "+" and holds it until the repetition has begun.
    void holdPlus() {
        TouchInput::touchDown(kFinger, UIDriver::screenCenterOf(plus.get()));
        time.advance(UIKAVInputField::kLongPressDuration);
        ASSERT_TRUE(row->isRepeating());
        ASSERT_EQ(log->tags.size(), 1u);
    }
    // No timer of the repetition is left, and no press follows.
    void expectStopped() {
        const size_t presses = log->tags.size();
        EXPECT_EQ(platform::RunLoop::main().timerCount(), baseline);
        time.advance(1);
        EXPECT_EQ(log->tags.size(), presses);
    }

    static constexpr int kFinger = 7;
    std::shared_ptr<UIKAVInputField> row;
    std::shared_ptr<PressLog> log;
    std::shared_ptr<UIButton> plus;
    size_t baseline = 0;
};

TEST_F(HeldButton, RepeatsAfterEightTenthsThenEveryTwentiethUntilReleased) {
    TouchInput::touchDown(kFinger, UIDriver::screenCenterOf(plus.get()));
    time.advance(0.79);
    EXPECT_TRUE(log->tags.empty());
    time.advance(0.01);  // 0.8 s: the first press at once
    EXPECT_EQ(log->tags.size(), 1u);
    time.advance(0.049);
    EXPECT_EQ(log->tags.size(), 1u);
    time.advance(0.002);
    EXPECT_EQ(log->tags.size(), 2u);
    time.advance(0.5);  // ten more
    EXPECT_EQ(log->tags.size(), 12u);
    EXPECT_EQ(log->tags.back(), UIKAVInputField::kTagPlus);

    // Lifting ends it; the lift is no extra tap.
    TouchInput::touchUp(kFinger, UIDriver::screenCenterOf(plus.get()));
    time.drain();
    EXPECT_FALSE(row->isRepeating());
    EXPECT_EQ(log->tags.size(), 12u);
    expectStopped();

    // A new press repeats the other button, on a fresh timer.
    auto minus = row->viewWithTag<UIButton>(UIKAVInputField::kTagMinus);
    TouchInput::touchDown(kFinger, UIDriver::screenCenterOf(minus.get()));
    time.advance(0.9);
    EXPECT_EQ(platform::RunLoop::main().timerCount(), baseline + 1);
    TouchInput::touchUp(kFinger, UIDriver::screenCenterOf(minus.get()));
    time.drain();
    EXPECT_EQ(log->tags.back(), UIKAVInputField::kTagMinus);
    expectStopped();
}

TEST_F(HeldButton, AShortTapIsOnePressAndAMovedFingerNeverRepeats) {
    UIDriver::longPress(UIDriver::screenCenterOf(plus.get()), 0.5);
    EXPECT_EQ(log->tags.size(), 1u);  // the tap itself
    log->tags.clear();

    // Sliding away before 0.8 s fails the press: no repetition ever starts,
    // and lifting far outside the button is no tap.
    const CGPoint start = UIDriver::screenCenterOf(plus.get());
    TouchInput::touchDown(kFinger, start);
    time.advance(0.3);
    TouchInput::touchMove(kFinger, CGPointMake(start.x, start.y + 100));
    time.advance(1);
    EXPECT_FALSE(row->isRepeating());
    TouchInput::touchUp(kFinger, CGPointMake(start.x, start.y + 100));
    time.drain();
    EXPECT_TRUE(log->tags.empty());
    expectStopped();
}

TEST_F(HeldButton, StopsWhenThePressIsCancelled) {
    holdPlus();
    time.advance(0.1);
    TouchInput::touchCancel(kFinger);
    time.drain();
    EXPECT_FALSE(row->isRepeating());
    expectStopped();
}

TEST_F(HeldButton, StopsWhenTheRecogniserIsDisabled) {
    holdPlus();
    ASSERT_EQ(plus->gestureRecognizers().size(), 1u);
    plus->gestureRecognizers()[0]->setEnabled(false);
    EXPECT_FALSE(row->isRepeating());
    expectStopped();
}

TEST_F(HeldButton, StopsWhenTheRowLeavesItsWindow) {
    holdPlus();
    time.advance(0.1);
    row->removeFromSuperview();
    EXPECT_FALSE(row->isRepeating());
    expectStopped();
}

TEST_F(HeldButton, StopsWhenTheRowIsDestroyed) {
    // Off screen, driven directly: the row's destruction is the only end.
    auto loose = std::make_shared<UIKAVInputField>(CGRectMake(0, 0, 300, 40), "数量", 4, 200);
    loose->uiKavInputFielddelegate = log;
    log->tags.clear();
    loose->startSpeed(UIKAVInputField::kRepeatInterval,
                      loose->viewWithTag<UIButton>(UIKAVInputField::kTagMinus));
    time.advance(0.101);
    EXPECT_EQ(log->tags.size(), 3u);
    loose.reset();
    expectStopped();
}

TEST(UIKAVTextFields, TextStartsAtTheMargin) {
    UIKAVTextField field(CGRectMake(0, 0, 100, 30), 10);
    EXPECT_TRUE(sameRect(field.textRectForBounds(field.bounds()), CGRectMake(10, 0, 90, 30)));
    EXPECT_TRUE(sameRect(field.editingRectForBounds(field.bounds()), CGRectMake(10, 0, 90, 30)));
    // A shown clear button narrows the text instead of covering its end.
    field.clearButtonMode = UITextFieldViewMode::Always;
    field.setText("1.2345");
    const CGRect text = field.textRectForBounds(field.bounds());
    EXPECT_EQ(text.origin.x, 10);
    EXPECT_LE(CGRectGetMaxX(text), field.clearButtonRectForBounds(field.bounds()).origin.x);
}

TEST_F(InputRows, InsetTextLeavesTheMarginEmpty) {
    auto field = std::make_shared<UIKAVTextField>(CGRectMake(20, 100, 100, 30), 10);
    field->setBackgroundColor(UIColor::whiteColor());
    field->setTextColor(UIColor::blackColor());
    field->setFont(UIFont::boldSystemFontOfSize(24));
    field->setText("8888888");
    window->addSubview(field);
    auto shot = snapshot("inset-text-field");
    ASSERT_TRUE(shot);
    bool inkInMargin = false, inkAfterMargin = false;
    for (int y = 100; y < 130; ++y) {
        for (int x = 20; x < 30; ++x)
            inkInMargin |= shot->pixelAt(x, y).red < 0.5;
        for (int x = 30; x < 60; ++x)
            inkAfterMargin |= shot->pixelAt(x, y).red < 0.5;
    }
    EXPECT_FALSE(inkInMargin);
    EXPECT_TRUE(inkAfterMargin);
}

class ToolBarLog : public keyboardToolBarDelegate {
  public:
    int presses = 0;
    void onToolBarPressed(UIButton* sender) override {
        ++presses;
        EXPECT_NE(sender, nullptr);
    }
};

TEST_F(InputRows, CloseBarReportsEveryTouchEventOfItsButton) {
    auto bar = std::make_shared<UIKAVKBAccessorView>(CGRectMake(0, 300, 320, 25));
    window->addSubview(bar);
    UIButton* close = bar->closeButton();
    EXPECT_TRUE(sameRect(close->frame(), CGRectMake(280, 0, 40, 25)));
    EXPECT_EQ(close->currentTitle(), "关闭");
    EXPECT_EQ(close->currentTitleColor(), UIColor::rgb255(20, 124, 255));
    EXPECT_EQ(bar->backgroundColor(), UIColor::rgb255(20, 20, 20, 0.9));

    UIDriver::tap(close);  // no delegate: nothing
    auto log = std::make_shared<ToolBarLog>();
    bar->delegate = log;
    UIDriver::tap(close);
    EXPECT_GE(log->presses, 2);  // touch down and touch up inside at least
    snapshot("close-bar");
}

TEST_F(InputRows, PriceSplitsItsLastTwoCharactersLarge) {
    const UIColor red = kavtheme::rise();
    auto price = std::make_shared<LabelPrice>(CGRectMake(20, 100, 140, 40), 1.23456, 4, red);
    window->addSubview(price);
    UILabel* small = price->lblSmall();
    UILabel* large = price->lblLarge();
    ASSERT_TRUE(small && large);
    EXPECT_EQ(small->text(), "1.23");
    EXPECT_EQ(large->text(), "46");
    EXPECT_EQ(small->textColor(), red);
    EXPECT_EQ(large->textColor(), red);
    EXPECT_TRUE(sameRect(small->frame(), CGRectMake(0, 5, 60, 35)));
    EXPECT_TRUE(sameRect(large->frame(), CGRectMake(60, 0, 80, 40)));
    EXPECT_EQ(small->font().pointSize, 18);
    EXPECT_EQ(large->font().pointSize, 28);
    snapshot("label-price");

    // Later prices reuse the labels. A single precision float would show
    // this one as ...88.
    price->setPrice(1234567.89, 2, kavtheme::fall());
    EXPECT_EQ(price->lblSmall(), small);
    EXPECT_EQ(small->text() + large->text(), "1234567.89");
    EXPECT_EQ(large->text(), "89");
    EXPECT_EQ(large->textColor(), kavtheme::fall());

    price->setPrice(7, 0, red);  // shorter than two: all large
    EXPECT_EQ(small->text(), "");
    EXPECT_EQ(large->text(), "7");
    price->setPrice(2034.6, -3, red);  // decimals held to 0..15
    EXPECT_EQ(small->text() + large->text(), "2035");
}

TEST_F(InputRows, TriangleFillsItsRightPointingShape) {
    auto mark = std::make_shared<TriangleView>(CGRectMake(100, 100, 20, 60));
    window->addSubview(mark);
    auto blank = snapshot("triangle-blank");
    ASSERT_TRUE(blank);
    EXPECT_TRUE(sameColor(blank->pixelAt(104, 130), UIColor::grey255(30)));  // no colour yet

    mark->setColor(kavtheme::accent());
    EXPECT_EQ(mark->markColor(), kavtheme::accent());
    auto shot = snapshot("triangle");
    ASSERT_TRUE(shot);
    EXPECT_TRUE(sameColor(shot->pixelAt(104, 130), kavtheme::accent()));    // inside
    EXPECT_TRUE(sameColor(shot->pixelAt(117, 130), kavtheme::accent()));    // near the tip
    EXPECT_TRUE(sameColor(shot->pixelAt(117, 106), UIColor::grey255(30)));  // above the edge
    EXPECT_TRUE(sameColor(shot->pixelAt(117, 154), UIColor::grey255(30)));  // below the edge
}

}  // namespace
