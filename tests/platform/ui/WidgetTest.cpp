#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Bundle.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/detail/Compositor.h"
#include "tests/platform/ui/Stage.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

using uitest::Stage;

TEST(Buttons, StateValuesFallBackToNormalAndFollowTheTouch) {
    Stage s;
    auto b = std::make_shared<UIButton>(CGRectMake(10, 10, 100, 40));
    s.window->addSubview(b);
    b->setTitle("买", UIControlStateNormal);
    b->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    b->setTitleColor(UIColor::redColor(), UIControlStateHighlighted);
    b->setTitle("已选", UIControlStateSelected);
    EXPECT_EQ(b->titleForState(UIControlStateHighlighted), "买");
    EXPECT_EQ(b->titleForState(UIControlStateSelected | UIControlStateHighlighted), "已选");
    EXPECT_EQ(b->titleForState(UIControlStateDisabled), "买");

    TouchInput::touchDown(1, {60, 30});
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(b->titleLabel()->textColor(), UIColor::redColor());
    TouchInput::touchUp(1, {60, 30});
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(b->titleLabel()->textColor(), UIColor::whiteColor());
    b->setSelected(true);
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(b->titleLabel()->text(), "已选");
    EXPECT_EQ(b->debugText(), "已选");

    // Title insets narrow the room of the title, centred in what is left.
    b->setSelected(false);
    b->setTitleEdgeInsets(UIEdgeInsetsMake(2, 2, 2, 2));
    b->setTitle("一二三四五六七八九十一二三四五六七八九十", UIControlStateNormal);
    UIScreenRenderer::layoutWindows();
    CGRect t = b->titleLabel()->frame();
    EXPECT_GE(t.origin.x, 2);
    EXPECT_LE(CGRectGetMaxX(t), 98);
}

class Recorder : public UITextFieldDelegate {
  public:
    bool allowBegin = true;
    bool allowClear = true;
    std::vector<std::string> calls;
    bool textFieldShouldBeginEditing(UITextField*) override {
        calls.push_back("shouldBegin");
        return allowBegin;
    }
    void textFieldDidBeginEditing(UITextField*) override { calls.push_back("didBegin"); }
    void textFieldDidEndEditing(UITextField*) override { calls.push_back("didEnd"); }
    bool textFieldShouldClear(UITextField*) override {
        calls.push_back("shouldClear");
        return allowClear;
    }
};

TEST(TextFields, DelegateDecidesBeginAndClearAndSecureTextIsHidden) {
    Stage s;
    auto field = std::make_shared<UITextField>(CGRectMake(0, 100, 200, 30));
    auto rec = std::make_shared<Recorder>();
    field->delegate = rec;
    field->clearButtonMode = UITextFieldViewMode::WhileEditing;
    field->setText("abc");
    s.window->addSubview(field);

    rec->allowBegin = false;
    UIDriver::tap(field.get());
    EXPECT_FALSE(field->isFirstResponder());
    rec->allowBegin = true;
    UIDriver::tap(field.get());
    EXPECT_TRUE(field->isEditing());
    EXPECT_TRUE(field->clearButtonShown());
    // The text area leaves room for the clear button.
    EXPECT_LT(CGRectGetMaxX(field->textRectForBounds(field->bounds())), 200 - 19);

    CGRect clear = field->clearButtonRectForBounds(field->bounds());
    rec->allowClear = false;
    UIDriver::tapAt({CGRectGetMidX(clear), 100 + CGRectGetMidY(clear)});
    EXPECT_EQ(field->text(), "abc");
    rec->allowClear = true;
    UIDriver::tapAt({CGRectGetMidX(clear), 100 + CGRectGetMidY(clear)});
    EXPECT_EQ(field->text(), "");
    EXPECT_TRUE(field->isFirstResponder());
    field->resignFirstResponder();
    EXPECT_EQ(rec->calls, (std::vector<std::string>{"shouldBegin", "shouldBegin", "didBegin",
                                                    "shouldClear", "shouldClear", "didEnd"}));

    // Secure entry: the drawing shows bullets, never the text.
    auto secret = std::make_shared<UITextField>(CGRectMake(0, 200, 200, 30));
    secret->setSecureTextEntry(true);
    secret->setText("密码");
    secret->setTextColor(UIColor::blackColor());
    s.window->setBackgroundColor(UIColor::whiteColor());
    s.window->addSubview(secret);
    auto img = UIDriver::renderImage(1, s.window.get());
    int dark = 0;
    for (int y = 200; y < 230; ++y)
        for (int x = 0; x < 200; ++x)
            if (img->pixelAt(x, y).red < 0.5) ++dark;
    EXPECT_GT(dark, 5);    // two bullets
    EXPECT_LT(dark, 120);  // not two CJK glyphs
}

// Keys at the end of the text: the delegate is told the range in characters,
// whatever their bytes, after every kind of change to the text.
TEST(TextFields, KeysAtTheEndNameTheirRangeInCharacters) {
    Stage s;
    struct Ranges : UITextFieldDelegate {
        std::vector<std::pair<size_t, size_t>> seen;
        std::string replaceWith;  // set: the delegate puts this text in first
        bool textFieldShouldChangeCharactersInRange(UITextField* f, NSRange range,
                                                    const std::string&) override {
            seen.emplace_back(range.location, range.length);
            if (!replaceWith.empty()) f->setText(std::exchange(replaceWith, ""));
            return true;
        }
    };
    auto field = std::make_shared<UITextField>(CGRectMake(0, 100, 200, 30));
    auto ranges = std::make_shared<Ranges>();
    field->delegate = ranges;
    field->clearButtonMode = UITextFieldViewMode::WhileEditing;
    field->setText("a中");
    s.window->addSubview(field);
    UIDriver::tap(field.get());
    UIDriver::typeText("😀b");
    EXPECT_EQ(field->text(), "a中😀b");
    UIDriver::typeText("\b\b");
    EXPECT_EQ(field->text(), "a中");
    using Seen = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(ranges->seen, (Seen{{2, 0}, {3, 0}, {3, 1}, {2, 1}}));

    // Set from outside, cleared by its button: counted afresh.
    ranges->seen.clear();
    field->setText("éé");
    UIDriver::typeText("\bx");
    EXPECT_EQ(field->text(), "éx");
    const CGRect clear = field->clearButtonRectForBounds(field->bounds());
    UIDriver::tapAt({CGRectGetMidX(clear), 100 + CGRectGetMidY(clear)});
    EXPECT_EQ(field->text(), "");
    UIDriver::typeText("y");
    field->resignFirstResponder();
    field->clearsOnBeginEditing = true;
    UIDriver::tap(field.get());
    UIDriver::typeText("z");
    EXPECT_EQ(field->text(), "z");
    EXPECT_EQ(ranges->seen, (Seen{{1, 1}, {1, 0}, {0, 0}, {0, 0}}));

    // A delegate that sets another text first: the key acts on the
    // characters of its range in that text (the range (0, 1) of "z" is "文"
    // there).
    ranges->seen.clear();
    ranges->replaceWith = "文字abc";
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "字abc");
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "字ab");
    EXPECT_EQ(ranges->seen, (Seen{{0, 1}, {3, 1}}));
}

// A secure field tells the driver, and so a script's dump of the screen,
// the bullets it shows, never the password.
TEST(TextFields, ASecureFieldShowsItsBulletsNotItsText) {
    Stage s;
    auto field = std::make_shared<UITextField>(CGRectMake(0, 100, 200, 30));
    field->setSecureTextEntry(true);
    s.window->addSubview(field);
    UIDriver::tap(field.get());
    UIDriver::typeText("密码7x");
    EXPECT_EQ(field->text(), "密码7x");
    EXPECT_EQ(field->debugText(), "••••");
    EXPECT_EQ(UIDriver::viewWithText("密码7x"), nullptr);
    EXPECT_EQ(UIDriver::viewWithText("••••"), field.get());
    EXPECT_EQ(UIDriver::dumpViewTree().find("密码7x"), std::string::npos);
    field->setSecureTextEntry(false);
    EXPECT_EQ(field->debugText(), "密码7x");
}

namespace {

// A field's delegate that records every range it is asked to change.
struct RangesHeard : UITextFieldDelegate {
    std::vector<std::pair<size_t, size_t>> seen;
    bool textFieldShouldChangeCharactersInRange(UITextField*, NSRange range,
                                                const std::string&) override {
        seen.emplace_back(range.location, range.length);
        return true;
    }
};

}  // namespace

// A character as the user sees it goes with one key, however many code
// points make it, and the delegate hears the range of all of them.
TEST(TextFields, DeleteTakesTheWholeCharacterTheUserSees) {
    Stage s;
    auto field = std::make_shared<UITextField>(CGRectMake(0, 100, 200, 30));
    auto ranges = std::make_shared<RangesHeard>();
    field->delegate = ranges;
    s.window->addSubview(field);
    UIDriver::tap(field.get());
    const std::string thumb = "\U0001F44D\U0001F3FD";                         // with a skin tone
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // joined
    const std::string flag = "\U0001F1E8\U0001F1F3";                          // two letters
    const std::string accented = "e\u0301";                                   // a combining mark
    field->setText("a" + accented + flag + family + thumb);
    using Seen = std::vector<std::pair<size_t, size_t>>;
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "a" + accented + flag + family);
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "a" + accented + flag);
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "a" + accented);
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(ranges->seen, (Seen{{10, 2}, {5, 5}, {3, 2}, {1, 2}}));
    // The count follows: a key typed after lands at the end.
    ranges->seen.clear();
    UIDriver::typeText("b");
    EXPECT_EQ(ranges->seen, (Seen{{1, 0}}));

    // Far into a long text as well; a plain character alone still goes alone.
    field->setText(std::string(1000, 'x') + "\u4E2D" + thumb);
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), std::string(1000, 'x') + "\u4E2D");
    UIDriver::typeText("\b\b");
    EXPECT_EQ(field->text(), std::string(999, 'x'));
    field->setSecureTextEntry(true);
    field->setText("p" + accented);
    UIDriver::typeText("\b");
    EXPECT_EQ(field->debugText(), "•");
}

// A text of a stray continuation byte (a damaged stored value) counts no
// character; deleting it empties the field and keeps the count at zero
// rather than below it (a secure field draws one bullet a character).
TEST(TextFields, DeletingAStrayByteKeepsTheCountAtZero) {
    Stage s;
    auto field = std::make_shared<UITextField>(CGRectMake(0, 100, 200, 30));
    auto ranges = std::make_shared<RangesHeard>();
    field->delegate = ranges;
    field->setText("\x80");
    s.window->addSubview(field);
    UIDriver::tap(field.get());
    UIDriver::typeText("\b");
    EXPECT_EQ(field->text(), "");
    UIDriver::typeText("ab");
    EXPECT_EQ(field->text(), "ab");
    using Seen = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(ranges->seen, (Seen{{0, 1}, {0, 0}, {1, 0}}));
    field->setSecureTextEntry(true);
    EXPECT_EQ(field->debugText(), "••");
}

// Columns of a rendered strip where the caret (the tint) and the text's ink are.
struct FieldPixels {
    std::vector<int> caret, ink;
};
FieldPixels scanField(const UIImagePtr& img, int top, int bottom) {
    FieldPixels out;
    for (int x = 0; x < img->pixelWidth(); ++x) {
        bool caret = false, ink = false;
        for (int y = top; y < bottom; ++y) {
            UIColor c = img->pixelAt(x, y);
            if (c.blue > 0.8 && c.red < 0.3) caret = true;
            if (c.red < 0.5 && c.green < 0.5 && c.blue < 0.5) ink = true;
        }
        if (caret) out.caret.push_back(x);
        if (ink) out.ink.push_back(x);
    }
    return out;
}

TEST(TextFields, TypingPastTheWidthKeepsTheEndAndTheCaretInView) {
    Stage s;
    s.window->setBackgroundColor(UIColor::whiteColor());
    for (bool secure : {false, true}) {
        auto field = std::make_shared<UITextField>(CGRectMake(40, 100, 150, 30));
        field->setSecureTextEntry(secure);
        s.window->addSubview(field);
        UIDriver::tap(field.get());
        ASSERT_TRUE(field->isEditing());
        UIDriver::typeText("6222020200112233445566778899@example.com");  // 40 characters
        ASSERT_EQ(UTF8Length(field->text()), 40u);

        auto px = scanField(UIDriver::renderImage(1, s.window.get()), 100, 130);
        ASSERT_FALSE(px.caret.empty()) << "secure " << secure;
        ASSERT_FALSE(px.ink.empty());
        // The caret stands inside the field at its right end ...
        EXPECT_GE(px.caret.front(), 40);
        EXPECT_LT(px.caret.back(), 190);
        EXPECT_GE(px.caret.back(), 186);
        // ... right after the last character (within its advance); the text
        // fills the field from its left edge and never leaves it.
        const double last = NSStringSizeWithFont(secure ? "•" : "m", field->font()).width;
        EXPECT_GE(px.ink.back(), px.caret.front() - last);
        EXPECT_LT(px.ink.back(), px.caret.front());
        EXPECT_LT(px.ink.front(), 44);
        EXPECT_GE(px.ink.front(), 40);

        // Done typing: no caret, the start of the text shows, still inside.
        field->resignFirstResponder();
        px = scanField(UIDriver::renderImage(1, s.window.get()), 100, 130);
        EXPECT_TRUE(px.caret.empty());
        EXPECT_GE(px.ink.front(), 40);
        EXPECT_LT(px.ink.back(), 190);
        field->removeFromSuperview();
    }

    // A short right-aligned price keeps its caret inside the field too.
    auto price = std::make_shared<UITextField>(CGRectMake(40, 100, 150, 30));
    price->setTextAlignment(NSTextAlignment::Right);
    s.window->addSubview(price);
    UIDriver::tap(price.get());
    UIDriver::typeText("1.08345");
    auto px = scanField(UIDriver::renderImage(1, s.window.get()), 100, 130);
    ASSERT_FALSE(px.caret.empty());
    EXPECT_LT(px.caret.back(), 190);
    EXPECT_GE(px.caret.back(), 186);
    EXPECT_LT(px.ink.back(), px.caret.front());
}

TEST(Sliders, ALowSliderDrawsItsWholeThumbAndTakesTouchesOnIt) {
    Stage s;
    s.window->setBackgroundColor(UIColor::grey255(60));
    auto slider = std::make_shared<UISlider>(CGRectMake(20, 100, 200, 20));
    slider->setValue(0.5);
    s.window->addSubview(slider);
    std::vector<float> sent;
    slider->addTarget([&](UIControl*, UIEvent*) { sent.push_back(slider->value()); },
                      UIControlEventValueChanged);

    // The thumb (28 across, centred at x 120, y 110) shows above and below
    // the 20-point bounds.
    auto img = UIDriver::renderImage(1, s.window.get());
    auto white = [&](int x, int y) { return img->pixelAt(x, y).red > 0.95; };
    EXPECT_TRUE(white(120, 110));
    EXPECT_TRUE(white(120, 98));
    EXPECT_TRUE(white(120, 122));
    EXPECT_TRUE(white(110, 101));
    EXPECT_FALSE(white(120, 94));  // the thumb ends at 96
    EXPECT_FALSE(white(60, 98));   // nothing else spills out

    // A drag that starts on the part above the bounds moves the thumb.
    UIDriver::drag({120, 98}, {170, 98}, 0.2, 5);
    ASSERT_FALSE(sent.empty());
    EXPECT_GT(slider->value(), 0.7f);
    EXPECT_NEAR(CGRectGetMidX(slider->thumbRect()), 170 - 20, 1);
    // Above the thumb's edge the touch is not the slider's.
    const float before = slider->value();
    UIDriver::drag({60, 95}, {200, 95}, 0.2, 5);
    EXPECT_EQ(slider->value(), before);

    slider->setThumbTintColor(UIColor::redColor());
    img = UIDriver::renderImage(1, s.window.get());
    const UIColor thumb =
        img->pixelAt(static_cast<int>(20 + CGRectGetMidX(slider->thumbRect())), 98);
    EXPECT_GT(thumb.red, 0.95);
    EXPECT_LT(thumb.green, 0.05);
}

TEST(Bars, NavigationBarShowsTitleItemsAndABackButton) {
    Stage s;
    auto first = std::make_shared<UIViewController>();
    first->setTitle("行情");
    auto second = std::make_shared<UIViewController>();
    second->setTitle("市价建仓");
    int rightTaps = 0;
    second->navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithTitle(
        "确定", UIBarButtonItemStyle::Done, [&](UIBarButtonItem*) { ++rightTaps; }));
    auto nav = std::make_shared<UINavigationController>(first);
    s.window->setRootViewController(nav);
    nav->pushViewController(second, false);
    UIScreenRenderer::layoutWindows();
    auto* bar = nav->navigationBar();
    EXPECT_EQ(bar->frame(), CGRectMake(0, 20, 320, 44));
    EXPECT_EQ(bar->titleLabel()->text(), "市价建仓");
    EXPECT_NEAR(CGRectGetMidX(bar->titleLabel()->frame()), 160, 0.5);
    UIDriver::tap(bar->rightItemView());
    EXPECT_EQ(rightTaps, 1);
    // An item switched off draws dimmed and ignores taps.
    second->navigationItem().rightBarButtonItem->setEnabled(false);
    UIScreenRenderer::layoutWindows();
    UIDriver::tap(bar->rightItemView());
    EXPECT_EQ(rightTaps, 1);

    UIDriver::tap(UIDriver::viewWithText("‹ 行情"));
    EXPECT_EQ(nav->topViewController(), first.get());
    nav->setNavigationBarHidden(true);
    UIScreenRenderer::layoutWindows();
    EXPECT_TRUE(bar->isHidden());
    s.window->setRootViewController(nullptr);
}

TEST(Bars, ToolbarSharesTheFlexibleSpace) {
    Stage s;
    auto bar = std::make_shared<UIToolbar>(CGRectMake(0, 0, 320, 44));
    s.window->addSubview(bar);
    auto prev = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::PreviousArrow);
    auto fixed = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::FixedSpace);
    fixed->width = 22;
    auto next = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::NextArrow);
    auto flex = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::FlexibleSpace);
    int done = 0;
    auto doneItem = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::Done,
                                                        [&](UIBarButtonItem*) { ++done; });
    bar->setItems({prev, fixed, next, flex, doneItem});
    UIScreenRenderer::layoutWindows();
    UIView* p = bar->viewForItem(prev.get());
    UIView* n = bar->viewForItem(next.get());
    UIView* d = bar->viewForItem(doneItem.get());
    ASSERT_TRUE(p && n && d);
    EXPECT_EQ(bar->viewForItem(flex.get()), nullptr);
    EXPECT_DOUBLE_EQ(n->frame().origin.x, CGRectGetMaxX(p->frame()) + 8 + 22);
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(d->frame()), 320 - 8);  // pushed to the right margin
    EXPECT_EQ(d->debugText(), "Done");
    UIDriver::tap(d);
    EXPECT_EQ(done, 1);
}

class SearchLog : public UISearchBarDelegate {
  public:
    std::vector<std::string> calls;
    void searchBarTextDidChange(UISearchBar*, const std::string& text) override {
        calls.push_back("change:" + text);
    }
    void searchBarSearchButtonClicked(UISearchBar* bar) override {
        calls.push_back("search:" + bar->text());
        bar->resignFirstResponder();
    }
    void searchBarCancelButtonClicked(UISearchBar*) override { calls.push_back("cancel"); }
};

TEST(Bars, SearchBarReportsTypingSearchAndCancel) {
    Stage s;
    auto bar = std::make_shared<UISearchBar>(CGRectMake(0, 100, 320, 44));
    bar->setShowsCancelButton(true);
    auto log = std::make_shared<SearchLog>();
    bar->delegate = log;
    s.window->addSubview(bar);
    EXPECT_TRUE(bar->becomeFirstResponder());
    UIDriver::typeText("kf\n");
    EXPECT_EQ(log->calls, (std::vector<std::string>{"change:k", "change:kf", "search:kf"}));
    EXPECT_FALSE(bar->isFirstResponderInside());
    UIDriver::tap(bar->cancelButton());
    EXPECT_EQ(log->calls.back(), "cancel");
}

TEST(ScrollViews, PanScrollsWithinTheContentAndSpringsBack) {
    Stage s;
    auto scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, 320, 400));
    scroll->setContentSize({-1, 1000});  // no sideways scrolling
    s.window->addSubview(scroll);
    EXPECT_FALSE(scroll->canScrollHorizontally());
    // Dragged up 200 points and held still before lifting: no glide.
    TouchInput::touchDown(1, {160, 300});
    for (int i = 1; i <= 10; ++i) {
        s.time.advance(0.05);
        TouchInput::touchMove(1, {160, 300 - 20.0 * i});
    }
    s.time.advance(0.5);
    TouchInput::touchUp(1, {160, 100});
    s.time.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 200);
    UIDriver::drag({160, 100}, {160, 300}, 1.0, 10);
    UIDriver::drag({160, 100}, {160, 300}, 1.0, 10);  // past the top: half speed, then back
    s.time.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    UIDriver::drag({300, 200}, {50, 200}, 0.3, 5);  // sideways: nothing moves
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 0);
    // A fast flick glides on but stops at the end of the content.
    UIDriver::drag({160, 390}, {160, 10}, 0.1, 5);
    s.time.advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 600);
}

TEST(TextViews, ContentGrowsWithTheWrappedText) {
    Stage s;
    auto view = std::make_shared<UITextView>(CGRectMake(0, 0, 200, 100));
    view->setFont(UIFont::systemFontOfSize(10));
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "风";
    view->setText(text);
    s.window->addSubview(view);
    UIScreenRenderer::layoutWindows();
    // 192 points of text a line: 19 characters, 6 lines of 12 points, insets 8 + 8.
    EXPECT_DOUBLE_EQ(view->contentSize().height, 6 * 12 + 16);
    EXPECT_TRUE(view->canScrollVertically());
}

// A text of thousands of lines (a dealer's bulletin of some hundred
// kilobytes) is drawn where it shows, not recorded whole: measuring the ink
// of a recording grows with the square of its lines, and froze the screen for
// seconds to minutes before it first showed; and of the lines only those
// that show are drawn.
TEST(TextViews, ALongTextIsDrawnWhereItShowsWithoutRecordingItWhole) {
    Stage s;
    auto view = std::make_shared<UITextView>(CGRectMake(0, 0, 320, 400));
    view->setFont(UIFont::systemFontOfSize(16));
    view->setTextColor(UIColor::blackColor());
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "第" + std::to_string(i + 1) + "条：保证金交易风险较高，请合理控制仓位。\n";
    s.window->addSubview(view);
    UIScreenRenderer::layoutWindows();
    UIDriver::renderImage(1, s.window.get());
    view->setText(text);
    UIScreenRenderer::layoutWindows();
    ASSERT_GT(view->contentSize().height, 3000 * 16);

    // Ink within the view's top and, scrolled to its end, at its end.
    const auto inkedPixels = [](const UIImagePtr& shot) {
        int inked = 0;
        for (int y = 8; y < 392; ++y)
            for (int x = 8; x < 312; ++x)
                if (shot->pixelAt(x, y).red < 0.5) ++inked;
        return inked;
    };
    const size_t recorded = detail::compositor::drawingsRecorded();
    const size_t measured = detail::compositor::inksMeasured();
    // Only the text changed: nothing else is drawn again.
    EXPECT_GT(inkedPixels(UIDriver::renderImage(1, s.window.get())), 1000);
    view->setContentOffset({0, view->contentSize().height - view->bounds().size.height}, false);
    UIScreenRenderer::layoutWindows();
    // Of its thousands of lines, those that show are drawn (some twenty),
    // not all of them at every frame.
    const size_t linesBefore = text::keptLinesDrawn();
    EXPECT_GT(inkedPixels(UIDriver::renderImage(1, s.window.get())), 1000);
    EXPECT_GT(text::keptLinesDrawn() - linesBefore, 10u);
    EXPECT_LT(text::keptLinesDrawn() - linesBefore, 100u);
    EXPECT_EQ(detail::compositor::drawingsRecorded(), recorded);
    EXPECT_EQ(detail::compositor::inksMeasured(), measured);
}

TEST(Resources, BundleFindsImagesByNameAndNeverLeavesItsFolder) {
    kavtest::TempDir dir;
    auto& bundle = NSBundle::mainBundle();
    bundle.setBundlePath(dir.path());
    std::filesystem::create_directories(dir / "DealerDEF");
    std::ofstream(dir / "DealerDEF" / "KAVFX_risk.json") << "{}";
    UIGraphicsBeginImageContextWithOptions({4, 4}, false, 2);
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::redColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 4, 4));
    ASSERT_TRUE(
        UIImageWritePNG(UIGraphicsGetImageFromCurrentImageContext(), dir / "nav_backicon@2x.png"));
    UIGraphicsEndImageContext();

    auto icon = UIImage::imageNamed("nav_backicon");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->scale(), 2);
    EXPECT_EQ(icon->size(), (CGSize{4, 4}));
    EXPECT_EQ(UIImage::imageNamed("nav_backicon"), icon);  // cached
    EXPECT_EQ(UIImage::imageNamed("missing"), nullptr);
    EXPECT_TRUE(bundle.pathForResource("KAVFX_risk", "json", "DealerDEF"));
    EXPECT_FALSE(bundle.pathForResource("../../etc/passwd", ""));
    EXPECT_FALSE(bundle.pathForResource("x", "json", "../DealerDEF"));
    EXPECT_EQ(bundle.localizedStringForKey("Ok"), "Ok");
    EXPECT_EQ(UIImage::imageWithData("not an image"), nullptr);
    bundle.setBundlePath({});
    EXPECT_EQ(bundle.bundlePath(), platform::bundle::root());
}

}  // namespace
