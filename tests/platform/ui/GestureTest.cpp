#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Driver.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/Responder.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;
using State = UIGestureRecognizerState;

namespace {

class TouchLog : public UIView {
  public:
    using UIView::UIView;
    std::vector<std::string> events;
    void touchesBegan(const UITouchSet&, UIEvent*) override { events.push_back("began"); }
    void touchesMoved(const UITouchSet&, UIEvent*) override { events.push_back("moved"); }
    void touchesEnded(const UITouchSet&, UIEvent*) override { events.push_back("ended"); }
    void touchesCancelled(const UITouchSet&, UIEvent*) override { events.push_back("cancelled"); }
};

struct GestureScreen {
    kavtest::VirtualTime time;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    std::shared_ptr<TouchLog> view = std::make_shared<TouchLog>(CGRectMake(0, 0, 320, 400));
    GestureScreen() {
        window->addSubview(view);
        window->makeKeyAndVisible();
    }
};

TEST(Gestures, PanReportsTranslationAndVelocityOnTheVirtualClock) {
    GestureScreen s;
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    std::vector<State> states;
    CGPoint translation{}, velocity{};
    pan->addTarget([&](UIGestureRecognizer& g) {
        auto& p = static_cast<UIPanGestureRecognizer&>(g);
        states.push_back(g.state());
        translation = p.translationInView(s.view.get());
        velocity = p.velocityInView(s.view.get());
    });
    s.view->addGestureRecognizer(pan);
    // 200 points to the right in 0.5 s, evenly: 400 points per second.
    UIDriver::drag({50, 100}, {250, 100}, 0.5, 10);
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.front(), State::Began);
    EXPECT_EQ(states.back(), State::Ended);
    EXPECT_DOUBLE_EQ(translation.x, 200);
    EXPECT_DOUBLE_EQ(translation.y, 0);
    EXPECT_NEAR(velocity.x, 400, 1e-6);
    // The view saw the touch begin, then lost it to the pan.
    EXPECT_EQ(s.view->events, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_EQ(pan->state(), State::Possible);  // ready for the next gesture
}

TEST(Gestures, PanThatStopsBeforeLiftingHasNoVelocity) {
    GestureScreen s;
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    CGPoint velocity{1, 1};
    pan->addTarget([&](UIGestureRecognizer& g) {
        if (g.state() == State::Ended)
            velocity = static_cast<UIPanGestureRecognizer&>(g).velocityInView(nullptr);
    });
    s.view->addGestureRecognizer(pan);
    TouchInput::touchDown(1, {10, 10});
    s.time.advance(0.1);
    TouchInput::touchMove(1, {60, 10});
    s.time.advance(0.5);  // held still
    TouchInput::touchUp(1, {60, 10});
    EXPECT_DOUBLE_EQ(velocity.x, 0);
}

// A finger lifted while another drags on moves the centre of the touches
// to the one left, as a finger put down does: the translation must carry on
// from where it was, with no jump and no burst of speed.
TEST(Gestures, PanCarriesOnWhenOneOfTwoFingersLifts) {
    GestureScreen s;
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    CGPoint translation{}, velocity{};
    pan->addTarget([&](UIGestureRecognizer& g) {
        auto& p = static_cast<UIPanGestureRecognizer&>(g);
        translation = p.translationInView(s.view.get());
        velocity = p.velocityInView(s.view.get());
    });
    s.view->addGestureRecognizer(pan);
    TouchInput::touchDown(1, {50, 100});
    TouchInput::touchDown(2, {150, 100});
    for (int step = 1; step <= 4; ++step) {
        s.time.advance(0.02);
        TouchInput::touchMove(1, {50.0 + 10 * step, 100});
        TouchInput::touchMove(2, {150.0 + 10 * step, 100});
    }
    EXPECT_DOUBLE_EQ(translation.x, 40);
    s.time.advance(0.02);
    TouchInput::touchUp(2, {190, 100});
    for (int step = 1; step <= 2; ++step) {
        s.time.advance(0.02);
        TouchInput::touchMove(1, {90.0 + 10 * step, 100});
    }
    EXPECT_DOUBLE_EQ(translation.x, 60);
    EXPECT_LT(std::fabs(velocity.x), 1000) << "500 points per second at most";
    EXPECT_EQ(pan->state(), State::Changed);

    // The same with the first finger lifted.
    s.time.advance(0.02);
    TouchInput::touchUp(1, {110, 100});
    s.time.advance(0.5);
    TouchInput::touchDown(3, {50, 200});
    TouchInput::touchDown(4, {150, 200});
    for (int step = 1; step <= 2; ++step) {
        s.time.advance(0.02);
        TouchInput::touchMove(3, {50.0 + 10 * step, 200});
        TouchInput::touchMove(4, {150.0 + 10 * step, 200});
    }
    s.time.advance(0.02);
    TouchInput::touchUp(3, {70, 200});
    s.time.advance(0.02);
    TouchInput::touchMove(4, {175, 200});
    EXPECT_DOUBLE_EQ(translation.x, 25);
    TouchInput::touchUp(4, {175, 200});
}

TEST(Gestures, SmallMovementIsATapNotAPan) {
    GestureScreen s;
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    auto tap = std::make_shared<UITapGestureRecognizer>();
    int pans = 0, taps = 0;
    pan->addTarget([&](UIGestureRecognizer&) { ++pans; });
    tap->addTarget([&](UIGestureRecognizer&) { ++taps; });
    s.view->addGestureRecognizer(pan);
    s.view->addGestureRecognizer(tap);
    UIDriver::drag({50, 50}, {56, 50}, 0.1, 3);
    EXPECT_EQ(pans, 0);
    EXPECT_EQ(taps, 1);
    UIDriver::drag({50, 50}, {80, 50}, 0.1, 3);
    EXPECT_GT(pans, 0);
    EXPECT_EQ(taps, 1);  // a tap fails once the finger moved away
}

TEST(Gestures, LongPressBeginsAfterItsDurationAndFailsWhenMoved) {
    GestureScreen s;
    auto press = std::make_shared<UILongPressGestureRecognizer>();
    press->minimumPressDuration = 0.8;
    std::vector<State> states;
    press->addTarget([&](UIGestureRecognizer& g) { states.push_back(g.state()); });
    s.view->addGestureRecognizer(press);

    TouchInput::touchDown(1, {100, 100});
    s.time.advance(0.79);
    EXPECT_TRUE(states.empty());
    s.time.advance(0.02);
    EXPECT_EQ(states, (std::vector<State>{State::Began}));
    EXPECT_EQ(s.view->events, (std::vector<std::string>{"began", "cancelled"}));
    TouchInput::touchMove(1, {150, 100});  // movement after Began is a change
    TouchInput::touchUp(1, {150, 100});
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Ended}));

    // Moving more than the allowed 10 points first: never begins.
    states.clear();
    TouchInput::touchDown(1, {100, 100});
    s.time.advance(0.3);
    TouchInput::touchMove(1, {112, 100});
    s.time.advance(1.0);
    TouchInput::touchUp(1, {112, 100});
    EXPECT_TRUE(states.empty());

    // Lifting early: never begins either, and no timer is left behind.
    TouchInput::touchDown(1, {100, 100});
    s.time.advance(0.5);
    TouchInput::touchUp(1, {100, 100});
    s.time.advance(1.0);
    EXPECT_TRUE(states.empty());
}

TEST(Gestures, DisablingCancelsAGestureInProgress) {
    GestureScreen s;
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    std::vector<State> states;
    pan->addTarget([&](UIGestureRecognizer& g) { states.push_back(g.state()); });
    s.view->addGestureRecognizer(pan);
    TouchInput::touchDown(1, {10, 10});
    TouchInput::touchMove(1, {40, 10});
    TouchInput::touchMove(1, {60, 10});
    pan->setEnabled(false);
    pan->setEnabled(true);
    TouchInput::touchMove(1, {90, 10});  // the cancelled pan ignores the rest
    TouchInput::touchUp(1, {90, 10});
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Cancelled}));
    EXPECT_EQ(pan->state(), State::Possible);
}

TEST(Gestures, PinchScaleIsTheRatioOfFingerDistances) {
    GestureScreen s;
    auto pinch = std::make_shared<UIPinchGestureRecognizer>();
    double scale = 0;
    std::vector<State> states;
    pinch->addTarget([&](UIGestureRecognizer& g) {
        states.push_back(g.state());
        scale = static_cast<UIPinchGestureRecognizer&>(g).scale;
    });
    s.view->addGestureRecognizer(pinch);
    UIDriver::pinch({160, 200}, 100, 200, 0.3, 10);
    EXPECT_EQ(states.front(), State::Began);
    EXPECT_EQ(states.back(), State::Ended);
    EXPECT_DOUBLE_EQ(scale, 2.0);
    UIDriver::pinch({160, 200}, 200, 50, 0.3, 10);
    EXPECT_DOUBLE_EQ(scale, 0.25);
}

class Simultaneous : public UIGestureRecognizerDelegate {
  public:
    bool together = false;
    bool receive = true;
    bool gestureRecognizerShouldRecognizeSimultaneouslyWith(UIGestureRecognizer*,
                                                            UIGestureRecognizer*) override {
        return together;
    }
    bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer*, UITouch*) override {
        return receive;
    }
};

TEST(Gestures, SimultaneousRecognitionAndTouchFilterFollowTheDelegate) {
    GestureScreen s;
    auto press = std::make_shared<UILongPressGestureRecognizer>();
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    auto delegate = std::make_shared<Simultaneous>();
    press->delegate = delegate;
    int presses = 0, pans = 0;
    press->addTarget([&](UIGestureRecognizer&) { ++presses; });
    pan->addTarget([&](UIGestureRecognizer&) { ++pans; });
    s.view->addGestureRecognizer(pan);
    s.view->addGestureRecognizer(press);

    // Not together: once the press has begun, the pan cannot.
    TouchInput::touchDown(1, {100, 100});
    s.time.advance(0.6);
    TouchInput::touchMove(1, {160, 100});
    TouchInput::touchUp(1, {160, 100});
    EXPECT_GT(presses, 0);
    EXPECT_EQ(pans, 0);

    // Together (the chart's cross line follows the pan while the press holds).
    delegate->together = true;
    presses = pans = 0;
    TouchInput::touchDown(1, {100, 100});
    s.time.advance(0.6);
    TouchInput::touchMove(1, {160, 100});
    TouchInput::touchUp(1, {160, 100});
    EXPECT_GT(presses, 0);
    EXPECT_GT(pans, 0);

    // A recogniser whose delegate refuses the touch never sees it.
    delegate->receive = false;
    presses = 0;
    UIDriver::longPress({100, 100}, 1.0);
    EXPECT_EQ(presses, 0);

    // Dead delegates are never called.
    delegate.reset();
    UIDriver::longPress({100, 100}, 1.0);
    EXPECT_GT(presses, 0);
}

TEST(Controls, TrackTouchesWithHighlightAndEvents) {
    GestureScreen s;
    auto button = std::make_shared<UIControl>(CGRectMake(100, 100, 100, 40));
    s.view->addSubview(button);
    std::vector<std::string> events;
    std::vector<bool> highlighted;
    auto log = [&](const char* name) {
        return [&, name](UIControl* c, UIEvent*) {
            events.push_back(name);
            highlighted.push_back(c->isHighlighted());
        };
    };
    button->addTarget(log("down"), UIControlEventTouchDown);
    button->addTarget(log("exit"), UIControlEventTouchDragExit);
    button->addTarget(log("enter"), UIControlEventTouchDragEnter);
    button->addTarget(log("upInside"), UIControlEventTouchUpInside);
    button->addTarget(log("upOutside"), UIControlEventTouchUpOutside);
    button->addTarget(log("cancel"), UIControlEventTouchCancel);

    UIDriver::tap(button.get());
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_EQ(highlighted, (std::vector<bool>{true, false}));

    events.clear();
    highlighted.clear();
    TouchInput::touchDown(1, {150, 120});
    TouchInput::touchMove(1, {150, 300});  // more than 70 points away
    EXPECT_FALSE(button->isHighlighted());
    TouchInput::touchMove(1, {150, 150});
    EXPECT_TRUE(button->isHighlighted());
    TouchInput::touchMove(1, {150, 300});
    TouchInput::touchUp(1, {150, 300});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "exit", "enter", "exit", "upOutside"}));

    // A pan on the superview takes the touch away: the control is cancelled.
    events.clear();
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    s.view->addGestureRecognizer(pan);
    UIDriver::drag({150, 120}, {150, 200}, 0.2, 4);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));
    EXPECT_FALSE(button->isHighlighted());

    // A tap recogniser on the superview leaves taps on the control alone.
    events.clear();
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer&) { ++taps; });
    s.view->addGestureRecognizer(tap);
    UIDriver::tap(button.get());
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_EQ(taps, 0);
    UIDriver::tapAt({20, 20});
    EXPECT_EQ(taps, 1);

    // Disabled: the touch is taken, nothing is sent.
    events.clear();
    button->setEnabled(false);
    UIDriver::tap(button.get());
    EXPECT_TRUE(events.empty());
}

TEST(Controls, WeakTargetIsNotCalledOnceGone) {
    GestureScreen s;
    struct Screenish : UIResponder {
        int presses = 0;
        void pressed(UIControl*) { ++presses; }
    };
    auto target = std::make_shared<Screenish>();
    auto button = std::make_shared<UIControl>(CGRectMake(0, 0, 50, 50));
    s.view->addSubview(button);
    button->addTarget(target->weakSelf<Screenish>(), &Screenish::pressed,
                      UIControlEventTouchUpInside);
    UIDriver::tap(button.get());
    EXPECT_EQ(target->presses, 1);
    target.reset();
    UIDriver::tap(button.get());  // must not crash or call the dead target
}

// A control turned off while a finger is on it (a setting locked while its
// request is out) does not act when the finger lifts: the switch keeps its
// value, the segment and the slider report nothing.
TEST(Controls, ControlDisabledUnderTheFingerDoesNotActOnTheLift) {
    GestureScreen s;
    auto sw = std::make_shared<UISwitch>(CGRectMake(10, 10, 0, 0));
    auto seg = std::make_shared<UISegmentedControl>(std::vector<std::string>{"A", "B"});
    seg->setFrame(CGRectMake(10, 100, 140, 29));
    auto slider = std::make_shared<UISlider>(CGRectMake(10, 200, 228, 30));
    for (const UIViewPtr& v : std::vector<UIViewPtr>{sw, seg, slider})
        s.view->addSubview(v);
    slider->setMaximumValue(100);
    slider->continuous = false;
    int changes = 0;
    for (UIControl* c : std::vector<UIControl*>{sw.get(), seg.get(), slider.get()})
        c->addTarget([&](UIControl*, UIEvent*) { ++changes; }, UIControlEventValueChanged);

    TouchInput::touchDown(1, {35, 25});
    sw->setEnabled(false);
    TouchInput::touchUp(1, {35, 25});
    EXPECT_FALSE(sw->isOn());

    TouchInput::touchDown(1, {120, 110});
    seg->setEnabled(false);
    TouchInput::touchUp(1, {120, 110});
    EXPECT_EQ(seg->selectedSegmentIndex(), UISegmentedControlNoSegment);

    TouchInput::touchDown(1, {20, 215});
    slider->setEnabled(false);
    TouchInput::touchUp(1, {200, 215});
    EXPECT_EQ(slider->value(), 0.0f);
    EXPECT_EQ(changes, 0);

    // Enabled again, the next touch acts as ever.
    sw->setEnabled(true);
    UIDriver::tap(sw.get());
    EXPECT_TRUE(sw->isOn());
    EXPECT_EQ(changes, 1);
}

}  // namespace
