// The bounded decimal field: stepping within the bounds, rounding to the
// step's decimals, the typing filter and taking typed text in.
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

struct EditLog : NumberInputViewDelegate {
    std::vector<std::string> calls;
    void textFieldDidBeginEditing(UITextField*) override { calls.push_back("begin"); }
    void textFieldDidEndEditing(UITextField* field) override {
        calls.push_back("end " + field->text());
    }
    void buttonDidPressed(int down) override { calls.push_back(down ? "down" : "up"); }
};

class NumberInput : public widgettest::WidgetTest {
  protected:
    // The view as an order screen builds it: the field between its own "-"
    // and "+", whose taps go to viewPressed.
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
            button->addTarget(
                [weak = std::weak_ptr<NumberInputView>(view)](UIControl* sender, UIEvent*) {
                    if (auto v = weak.lock()) v->viewPressed(sender);
                },
                UIControlEventTouchUpInside);
            view->addSubview(button);
        }
        view->setIncrease(view->increase());  // titles the buttons
        view->delegate = log;
        window->addSubview(view);
        return view;
    }
    std::string stepUp(NumberInputView& view) {
        UIDriver::tap(view.viewWithTag(NumberInputView::kTagStepUp).get());
        return view.textField()->text();
    }
    std::string typed(NumberInputView& view, const std::string& text) {
        UIDriver::tap(view.textField().get());
        UIDriver::typeText(text);
        view.textField()->resignFirstResponder();
        return view.textField()->text();
    }

    std::shared_ptr<EditLog> log = std::make_shared<EditLog>();
};

TEST_F(NumberInput, StepsStayInBoundsAndAreReportedAllTheSame) {
    auto view = add(d("2"), d("0.5"), d("3"), {});
    EXPECT_EQ(view->viewWithTag<UIButton>(NumberInputView::kTagStepUp)->currentTitle(), "0.5");
    EXPECT_EQ(stepUp(*view), "2.5");
    EXPECT_EQ(stepUp(*view), "3");
    EXPECT_EQ(stepUp(*view), "3");
    EXPECT_EQ(log->calls,
              (std::vector<std::string>{"end 2", "up", "end 2.5", "up", "end 3", "up"}));
    snapshot("number-input");
    // What was typed counts before the step; other senders do nothing.
    view->textField()->setText("1");
    view->viewPressed(view->viewWithTag(NumberInputView::kTagStepDown).get());
    EXPECT_EQ(view->value(), d("0.5"));
    log->calls.clear();
    view->viewPressed(view->textField().get());
    EXPECT_TRUE(log->calls.empty());

    // Nothing given: an empty zero, steps of 1 from 0 to 9999999.
    auto plain = add({}, {}, {}, {});
    EXPECT_EQ(plain->textField()->text(), "");
    EXPECT_EQ(plain->maxValue(), Decimal::fromInteger(9999999));
    EXPECT_EQ(stepUp(*plain), "1");
    plain->viewPressed(plain->viewWithTag(NumberInputView::kTagStepDown).get());
    plain->viewPressed(plain->viewWithTag(NumberInputView::kTagStepDown).get());
    EXPECT_EQ(plain->textField()->text(), "");
    EXPECT_EQ(log->calls.back(), "down");  // told though not applied
}

TEST_F(NumberInput, ValuesKeepTheStepsDecimalsAndTheBounds) {
    auto view = add(d("1.005"), d("0.01"), {}, {});
    EXPECT_EQ(view->textField()->text(), "1.01");  // half away from zero
    view->setIncrease(d("1"));
    EXPECT_EQ(view->textField()->text(), "1");
    view->setMaxValue(d("-1"));
    EXPECT_EQ(view->maxValue(), Decimal::fromInteger(9999999));
    view->setMaxValue(d("0.5"));
    EXPECT_EQ(view->value(), d("0.5"));
    view->setMinValue(d("0.7"));
    EXPECT_EQ(view->value(), d("0.7"));
}

TEST_F(NumberInput, TypingTakesAsciiDigitsAndOnePoint) {
    auto view = add({}, d("0.01"), {}, {});
    UIDriver::tap(view->textField().get());
    EXPECT_EQ(log->calls, (std::vector<std::string>{"begin"}));
    UIDriver::typeText(".1..5a-１٣ 7");  // a leading point, a second point, no digits
    EXPECT_EQ(view->textField()->text(), "1.57");
    UIDriver::typeText("\b");
    EXPECT_EQ(view->textField()->text(), "1.5");
    EXPECT_FALSE(view->textFieldShouldChangeCharactersInRange(view->textField().get(), {3, 0},
                                                              "1a"));  // a paste
    EXPECT_TRUE(
        view->textFieldShouldChangeCharactersInRange(view->textField().get(), {3, 0}, "205"));
}

TEST_F(NumberInput, EndingTheEditHoldsRoundsAndReadsTheText) {
    auto view = add({}, d("0.01"), {}, d("1"));
    view->textField()->setText("");
    EXPECT_EQ(typed(*view, "1.005"), "1.01");
    EXPECT_EQ(log->calls.back(), "end 1.01");
    view->textField()->setText("");
    EXPECT_EQ(typed(*view, "123456789"), "9999999");
    // More digits than a number holds are above the maximum all the same.
    view->textField()->setText("");
    EXPECT_EQ(typed(*view, std::string(170, '9')), "9999999");
    EXPECT_EQ(view->value().toString(), "9999999");
    // Empty and unreadable text is 0 before the bounds apply.
    for (const char* text : {"", "abc", "-"}) {
        view->textField()->setText(text);
        view->textFieldDidEndEditing(view->textField().get());
        EXPECT_EQ(view->textField()->text(), "1") << text;
    }
    // A delegate that is gone is not called.
    log.reset();
    EXPECT_EQ(typed(*view, "5"), "15");
    EXPECT_EQ(stepUp(*view), "15.01");
}

}  // namespace
