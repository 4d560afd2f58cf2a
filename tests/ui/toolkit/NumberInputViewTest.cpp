// The bounded decimal field: defaults, stepping within the bounds, rounding
// to the step's decimals, the typing filter and taking typed text in.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "tests/ui/toolkit/WidgetStage.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/NumberInputView.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

Decimal d(const char* text) {
    return *Decimal::parse(text);
}

class EditLog : public NumberInputViewDelegate {
  public:
    std::vector<std::string> calls;
    void textFieldDidBeginEditing(UITextField*) override { calls.push_back("begin"); }
    void textFieldDidEndEditing(UITextField* field) override {
        calls.push_back("end " + field->text());
    }
    void buttonDidPressed(int down) override { calls.push_back(down ? "down" : "up"); }
};

class NumberInput : public widgettest::WidgetTest {
  protected:
    // The view as an order screen builds it: the field between its own
    // "-" and "+" buttons, whose taps go to viewPressed.
    std::shared_ptr<NumberInputView> add(std::optional<Decimal> value,
                                         std::optional<Decimal> increase,
                                         std::optional<Decimal> maxValue,
                                         std::optional<Decimal> minValue) {
        auto view = std::make_shared<NumberInputView>(CGRectMake(20, 100, 280, 30), value, increase,
                                                      maxValue, minValue);
        view->setBackgroundColor(kavtheme::inputBackground());
        view->textField()->setFrame(CGRectMake(50, 0, 180, 30));
        for (auto [tag, x] : {std::pair{NumberInputView::kTagStepDown, 0.0},
                              std::pair{NumberInputView::kTagStepUp, 230.0}}) {
            auto button = std::make_shared<UIButton>(CGRectMake(x, 0, 50, 30));
            button->setTag(tag);
            button->setTitleColor(kavtheme::primaryText(), UIControlStateNormal);
            button->addTarget(
                [weak = std::weak_ptr<NumberInputView>(view)](UIControl* sender, UIEvent*) {
                    if (auto v = weak.lock()) v->viewPressed(sender);
                },
                UIControlEventTouchUpInside);
            view->addSubview(button);
        }
        view->setIncrease(view->increase());  // titles the buttons
        log = std::make_shared<EditLog>();
        view->delegate = log;
        window->addSubview(view);
        UIScreenRenderer::layoutWindows();
        return view;
    }
    void press(NumberInputView& view, long tag) { UIDriver::tap(view.viewWithTag(tag).get()); }
    void typeAndEnd(NumberInputView& view, const std::string& text) {
        UIDriver::tap(view.textField().get());
        UIDriver::typeText(text);
        view.textField()->resignFirstResponder();
    }

    std::shared_ptr<EditLog> log;
};

TEST_F(NumberInput, WithNothingGivenStepsByOneFromAnEmptyZero) {
    auto view = add({}, {}, {}, {});
    EXPECT_EQ(view->textField()->text(), "");
    EXPECT_EQ(view->textField()->tag(), NumberInputView::kTagTextField);
    EXPECT_EQ(view->textField()->keyboardType, UIKeyboardType::DecimalPad);
    EXPECT_EQ(view->value(), Decimal());
    EXPECT_EQ(view->increase(), Decimal::fromInteger(1));
    EXPECT_EQ(view->minValue(), Decimal());
    EXPECT_EQ(view->maxValue(), Decimal::fromInteger(9999999));
    EXPECT_EQ(view->viewWithTag<UIButton>(NumberInputView::kTagStepUp)->currentTitle(), "1");

    press(*view, NumberInputView::kTagStepUp);
    EXPECT_EQ(view->textField()->text(), "1");
    press(*view, NumberInputView::kTagStepDown);
    EXPECT_EQ(view->textField()->text(), "");     // zero shows empty
    press(*view, NumberInputView::kTagStepDown);  // below the minimum: not applied
    EXPECT_EQ(view->value(), Decimal());
    EXPECT_EQ(log->calls,
              (std::vector<std::string>{"end ", "up", "end 1", "down", "end ", "down"}));
}

TEST_F(NumberInput, StepsStopAtTheBoundsAndAreReportedAllTheSame) {
    auto view = add(d("2"), d("0.5"), d("3"), {});
    EXPECT_EQ(view->viewWithTag<UIButton>(NumberInputView::kTagStepDown)->currentTitle(), "0.5");
    std::vector<std::string> shown;
    for (int i = 0; i < 3; ++i) {
        press(*view, NumberInputView::kTagStepUp);
        shown.push_back(view->textField()->text());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"2.5", "3", "3"}));
    EXPECT_EQ(view->value(), d("3"));
    EXPECT_EQ(log->calls,
              (std::vector<std::string>{"end 2", "up", "end 2.5", "up", "end 3", "up"}));
    snapshot("number-input");

    // What was typed counts before the step.
    view->textField()->setText("1");
    view->viewPressed(view->viewWithTag(NumberInputView::kTagStepDown).get());
    EXPECT_EQ(view->textField()->text(), "0.5");
    // Other senders do nothing.
    log->calls.clear();
    view->viewPressed(view->textField().get());
    view->viewPressed(nullptr);
    EXPECT_TRUE(log->calls.empty());
}

TEST_F(NumberInput, ValuesKeepTheStepsDecimalsAndStayInBounds) {
    auto view = add(d("1.005"), d("0.01"), {}, {});
    EXPECT_EQ(view->textField()->text(), "1.01");  // half away from zero
    view->setIncrease(d("0.1"));
    EXPECT_EQ(view->value(), d("1"));
    EXPECT_EQ(view->viewWithTag<UIButton>(NumberInputView::kTagStepUp)->currentTitle(), "0.1");

    view->setMaxValue(d("-1"));
    EXPECT_EQ(view->maxValue(), Decimal::fromInteger(9999999));
    view->setMaxValue(d("0.5"));
    EXPECT_EQ(view->textField()->text(), "0.5");  // lowered to the new maximum
    view->setMinValue(d("0.7"));
    EXPECT_EQ(view->textField()->text(), "0.7");  // raised to the new minimum

    NumberInputView made(CGRectMake(0, 0, 100, 30), d("50"), d("1"), d("20"), d("30"));
    EXPECT_EQ(made.value(), d("30"));  // lowered to 20, then raised to 30
    EXPECT_EQ(made.textField()->text(), "30");
}

TEST_F(NumberInput, TypingTakesDigitsAndOnePointOnly) {
    auto view = add({}, d("0.01"), {}, {});
    UIDriver::tap(view->textField().get());
    EXPECT_EQ(log->calls, (std::vector<std::string>{"begin"}));
    UIDriver::typeText(".");  // nothing to put a point after
    EXPECT_EQ(view->textField()->text(), "");
    UIDriver::typeText("1..5");
    EXPECT_EQ(view->textField()->text(), "1.5");
    UIDriver::typeText("a-１٣ 7");
    EXPECT_EQ(view->textField()->text(), "1.57");
    UIDriver::typeText("\b");
    EXPECT_EQ(view->textField()->text(), "1.5");

    UITextField* field = view->textField().get();
    const NSRange end{3, 0};
    EXPECT_FALSE(view->textFieldShouldChangeCharactersInRange(field, end, "1a"));  // a paste
    EXPECT_FALSE(view->textFieldShouldChangeCharactersInRange(field, end, "٣"));
    EXPECT_FALSE(view->textFieldShouldChangeCharactersInRange(field, end, "1.5"));
    EXPECT_TRUE(view->textFieldShouldChangeCharactersInRange(field, end, "205"));
    EXPECT_TRUE(view->textFieldShouldChangeCharactersInRange(field, end, ""));  // a deletion
}

TEST_F(NumberInput, EndingTheEditHoldsRoundsAndReadsTheText) {
    auto view = add({}, d("0.01"), {}, {});
    typeAndEnd(*view, "1.005");
    EXPECT_EQ(view->textField()->text(), "1.01");
    EXPECT_EQ(view->value(), d("1.01"));
    EXPECT_EQ(log->calls.back(), "end 1.01");

    view->textField()->setText("");
    typeAndEnd(*view, "123456789");
    EXPECT_EQ(view->textField()->text(), "9999999");

    // Empty or unreadable text is 0 before the bounds apply.
    view->setMinValue(d("1"));
    view->textField()->setText("");
    view->textFieldDidEndEditing(view->textField().get());
    EXPECT_EQ(view->textField()->text(), "1");
    view->textField()->setText("abc");
    view->textFieldDidEndEditing(view->textField().get());
    EXPECT_EQ(view->value(), d("1"));
    view->setMinValue(Decimal());
    view->textField()->setText("1.");
    view->textFieldDidEndEditing(view->textField().get());
    EXPECT_EQ(view->value(), d("1"));
    view->textField()->setText("-");
    view->textFieldDidEndEditing(view->textField().get());
    EXPECT_EQ(view->value(), Decimal());
    EXPECT_EQ(view->textField()->text(), "");
}

TEST_F(NumberInput, TheDelegateIsNotKeptAlive) {
    auto view = add(d("1"), {}, {}, {});
    std::weak_ptr<EditLog> weak = log;
    log.reset();
    EXPECT_TRUE(weak.expired());
    press(*view, NumberInputView::kTagStepUp);  // nobody to tell
    EXPECT_EQ(view->textField()->text(), "2");
    typeAndEnd(*view, "5");
    EXPECT_EQ(view->value(), d("25"));
}

}  // namespace
