// The script runner: how a line is read, each command against a small
// application on the virtual clock, the output format and where a run stops;
// and bin/kav-trader itself with a failing script.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/ScriptRunner.h"
#include "app/TraderProgram.h"
#include "platform/Files.h"
#include "platform/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;
using kavtest::TempDir;
using kavtest::VirtualTime;

namespace {

std::vector<std::string> wordsOf(const std::string& line) {
    return ScriptRunner::split(line).words;
}

// A screen with a caption, a button whose effect shows 2 s after the tap, a
// text field and a second "确定" under an alert-level window.
class Screen : public UIViewController, public UITextFieldDelegate {
  public:
    std::shared_ptr<UILabel> caption;
    std::shared_ptr<UITextField> field;
    int returns = 0;
    bool endEditingOnReturn = false;
    int mainConfirms = 0;
    platform::Timer later;

    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::grey255(30));
        caption = std::make_shared<UILabel>(CGRectMake(20, 40, 280, 30));
        caption->setText("你好");
        caption->setTextColor(UIColor::whiteColor());
        view()->addSubview(caption);
        auto button = std::make_shared<UIButton>(CGRectMake(20, 100, 120, 40));
        button->setTitle("按钮", UIControlStateNormal);
        button->setTag(7);
        button->addTarget(
            [this](UIControl*, UIEvent*) {
                later = platform::Timer::schedule(2, false, [this] { caption->setText("已按"); });
            },
            UIControlEventTouchUpInside);
        view()->addSubview(button);
        auto confirm = std::make_shared<UIButton>(CGRectMake(20, 300, 120, 40));
        confirm->setTitle("确定", UIControlStateNormal);
        confirm->addTarget([this](UIControl*, UIEvent*) { ++mainConfirms; },
                           UIControlEventTouchUpInside);
        view()->addSubview(confirm);
        field = std::make_shared<UITextField>(CGRectMake(20, 160, 200, 36));
        field->setTag(30);
        field->delegate = weakSelf<UITextFieldDelegate>();
        view()->addSubview(field);
    }
    bool textFieldShouldReturn(UITextField*) override {
        ++returns;
        // A search field's return: it searches and closes the keyboard.
        if (endEditingOnReturn) field->resignFirstResponder();
        return true;
    }
};

class ScriptRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        time.drain();
    }
    void TearDown() override {
        screen->later.invalidate();
        window.reset();
        time.drain();
    }
    // Runs the script; the lines it printed.
    std::string run(const std::string& script, bool* ok = nullptr) {
        std::istringstream in(script);
        std::ostringstream out;
        ScriptRunner runner(out, shots.path(), [&] { ++quits; });
        const bool result = runner.run(in);
        if (ok) *ok = result;
        return out.str();
    }

    VirtualTime time;
    TempDir shots;
    std::shared_ptr<Screen> screen = std::make_shared<Screen>();
    std::shared_ptr<UIWindow> window;
    int quits = 0;
};

}  // namespace

TEST(ScriptWords, BlanksQuotesEscapesAndComments) {
    EXPECT_EQ(wordsOf("  tap-at  10 20\t"), (std::vector<std::string>{"tap-at", "10", "20"}));
    EXPECT_EQ(wordsOf(R"(tap "网络 重连" # a comment)"),
              (std::vector<std::string>{"tap", "网络 重连"}));
    EXPECT_EQ(wordsOf(R"(type "say \"hi\" \\ \n")"),
              (std::vector<std::string>{"type", R"(say "hi" \ \n)"}));
    EXPECT_EQ(wordsOf(R"(expect-text "#1" x"y z"w)"),
              (std::vector<std::string>{"expect-text", "#1", "xy zw"}));
    EXPECT_EQ(wordsOf(R"(tap "")"), (std::vector<std::string>{"tap", ""}));
    EXPECT_TRUE(wordsOf("   # only a comment").empty());
    const auto open = ScriptRunner::split(R"(tap "never closed)");
    EXPECT_EQ(open.error, "unterminated quote");
    EXPECT_EQ(ScriptRunner::split("  wait 1   # why  ").text, "wait 1");
}

TEST_F(ScriptRunnerTest, CommandsDriveTheApplicationOnTheClock) {
    bool ok = false;
    const std::string out =
        run("# taps, waits on the clock, keys\n"
            "\n"
            "expect-text 你好\n"
            "tap 按钮\n"
            "wait 1.5\n"
            "expect-no-text 已按\n"
            "wait-text 已按 1\n"
            "wait-gone 你好\n"
            "tap-tag 30\n"
            "type \"ab\\bc \\\\\\\\\\n\"\n"
            "dump\n"
            "shot first\n",
            &ok);
    EXPECT_TRUE(ok) << out;
    EXPECT_EQ(screen->caption->text(), "已按");
    EXPECT_EQ(screen->field->text(), "ac \\");
    EXPECT_EQ(screen->returns, 1);
    // Every command reports itself as written, comments and blank lines nothing.
    std::istringstream lines(out);
    std::vector<std::string> reports;
    bool inDump = false;
    std::string dump;
    for (std::string line; std::getline(lines, line);) {
        if (line == "dump begin") inDump = true;
        if (inDump)
            dump += line + "\n";
        else
            reports.push_back(line);
        if (line == "dump end") inDump = false;
    }
    EXPECT_EQ(reports,
              (std::vector<std::string>{"ok expect-text 你好", "ok tap 按钮", "ok wait 1.5",
                                        "ok expect-no-text 已按", "ok wait-text 已按 1",
                                        "ok wait-gone 你好", "ok tap-tag 30",
                                        R"(ok type "ab\bc \\\\\n")", "ok dump", "ok shot first"}));
    EXPECT_NE(dump.find("\n  UIView frame="), std::string::npos) << dump;
    EXPECT_NE(dump.find("UILabel frame={{20, 40}, {280, 30}} text=\"已按\""), std::string::npos)
        << dump;
    EXPECT_EQ(dump.substr(dump.size() - 9), "dump end\n");
    // The picture is the screen at scale 2.
    auto image = UIImage::imageWithContentsOfFile((shots.path() / "first.png").string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size().width * image->scale(), 640);
    EXPECT_EQ(image->size().height * image->scale(), 1136);
}

TEST_F(ScriptRunnerTest, AScriptSavedWithAByteOrderMarkAndWindowsLineEnds) {
    // Editors that save UTF-8 with a mark put it before the first command,
    // which then was no command ("unknown command \xEF\xBB\xBFexpect-text").
    bool ok = false;
    EXPECT_EQ(run("\xEF\xBB\xBF" "expect-text 你好\r\n\r\n# end\r\nwait 0.5", &ok),
              "ok expect-text 你好\nok wait 0.5\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(run("\xEF\xBB\xBF# a comment first\nexpect-text 你好\n", &ok), "ok expect-text 你好\n");
    EXPECT_TRUE(ok);
    // Only the script's start may carry it.
    EXPECT_EQ(run("wait 0\n\xEF\xBB\xBFwait 0\n", &ok),
              "ok wait 0\nfail \xEF\xBB\xBFwait 0: unknown command \xEF\xBB\xBFwait\n");
    EXPECT_FALSE(ok);
}

// A script handed over in chunks, as a driver writes it into a pipe: what the
// runner had reported each time it asked for more.
class Chunks : public std::streambuf {
  public:
    Chunks(std::vector<std::string> chunks, const std::ostringstream& out)
        : chunks_(std::move(chunks)), out_(out) {}
    std::vector<std::string> reportedBefore;

  protected:
    int_type underflow() override {
        if (next_ == chunks_.size()) return traits_type::eof();
        reportedBefore.push_back(out_.str());
        auto& chunk = chunks_[next_++];
        setg(chunk.data(), chunk.data(), chunk.data() + chunk.size());
        return traits_type::to_int_type(chunk[0]);
    }

  private:
    std::vector<std::string> chunks_;
    size_t next_ = 0;
    const std::ostringstream& out_;
};

TEST_F(ScriptRunnerTest, AScriptSavedWithOldMacLineEnds) {
    // Lines ended by a carriage return alone were read as one line, and the
    // run failed on its first command with the whole script as its words.
    bool ok = false;
    EXPECT_EQ(run("# taps\rexpect-text 你好\rtap 按钮\r\rwait 1.5\rwait-text 已按 1", &ok),
              "ok expect-text 你好\nok tap 按钮\nok wait 1.5\nok wait-text 已按 1\n");
    EXPECT_TRUE(ok);
    // Two line ends the other way round are two.
    EXPECT_EQ(run("wait 0\n\rfly\r\n", &ok), "ok wait 0\nfail fly: unknown command fly\n");
    EXPECT_FALSE(ok);
    // A line of the longest length ended the Windows way is read whole.
    const std::string longest = "expect-no-text " + std::string(ScriptRunner::kLongestLine - 15, 'y');
    const std::string read = run(longest + "\r\nwait 0\r\n", &ok);
    EXPECT_TRUE(read == "ok " + longest + "\nok wait 0\n") << read.substr(0, 80);
    EXPECT_TRUE(ok);

    // A driver that writes a line and waits for its report before it writes
    // the next: a line ended the Windows way runs before the line feed that
    // ends it is read, and an old Mac one without waiting for the next line.
    std::ostringstream out;
    Chunks piped({"expect-text 按钮\r", "\nwait 0\r", "wait 0.5\r\n", "\n"}, out);
    std::istream in(&piped);
    ScriptRunner runner(out, shots.path(), [] {});
    EXPECT_TRUE(runner.run(in));
    EXPECT_EQ(out.str(), "ok expect-text 按钮\nok wait 0\nok wait 0.5\n");
    EXPECT_EQ(piped.reportedBefore,
              (std::vector<std::string>{"", "ok expect-text 按钮\n",
                                        "ok expect-text 按钮\nok wait 0\n",
                                        "ok expect-text 按钮\nok wait 0\nok wait 0.5\n"}));
}

TEST_F(ScriptRunnerTest, TypeTakesUTF8Only) {
    // A script saved in another encoding (Latin-1, GBK): its bytes are no
    // characters. They went into the field as they were, a text its drawing
    // refuses (the field showed nothing) and no keyboard could have typed.
    bool ok = true;
    EXPECT_EQ(run("tap-tag 30\ntype \"caf\xE9 12\"\n", &ok),
              "ok tap-tag 30\nfail type \"caf\xE9 12\": TEXT is not UTF-8\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(run("type \xC4\xE3\xBA\xC3\n", &ok),
              "fail type \xC4\xE3\xBA\xC3: TEXT is not UTF-8\n");
    EXPECT_EQ(screen->field->text(), "");
    EXPECT_EQ(run("type \"caf\xC3\xA9 你好\"\n", &ok), "ok type \"caf\xC3\xA9 你好\"\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(screen->field->text(), "caf\xC3\xA9 你好");
}

TEST_F(ScriptRunnerTest, ATextNoViewCanShowIsRefused) {
    // Bytes of another encoding (GBK's "你好") or nothing at all are no text
    // a view shows: a check that it is not shown passed while "你好" was.
    const auto failing = [&](const std::string& line) {
        bool ok = true;
        const std::string out = run(line + "\n", &ok);
        EXPECT_FALSE(ok) << line;
        return out;
    };
    for (const std::string command : {"expect-no-text", "wait-gone", "expect-text", "tap"}) {
        EXPECT_EQ(failing(command + " \xC4\xE3\xBA\xC3"),
                  "fail " + command + " \xC4\xE3\xBA\xC3: TEXT is not UTF-8\n");
        EXPECT_EQ(failing(command + " \"\""), "fail " + command + " \"\": TEXT is empty\n");
    }
    EXPECT_EQ(failing("wait-text \"\" 0"), "fail wait-text \"\" 0: TEXT is empty\n");
    bool ok = false;
    EXPECT_EQ(run("expect-no-text \"你 好\"\nwait-gone 再见 0\n", &ok),
              "ok expect-no-text \"你 好\"\nok wait-gone 再见 0\n");
    EXPECT_TRUE(ok);
}

// A script of one endless line (a device of zeros, a file without line
// ends): `size` bytes of the letter, counted as they are read.
class EndlessLine : public std::streambuf {
  public:
    explicit EndlessLine(std::string start, size_t size) : start_(std::move(start)), left_(size) {}
    size_t given = 0;

  protected:
    int_type underflow() override {
        if (!start_.empty()) {
            chunk_.swap(start_);
        } else if (left_ > 0) {
            chunk_.assign(std::min<size_t>(left_, 65536), 'x');
            left_ -= chunk_.size();
        } else {
            return traits_type::eof();
        }
        given += chunk_.size();
        setg(chunk_.data(), chunk_.data(), chunk_.data() + chunk_.size());
        return traits_type::to_int_type(chunk_[0]);
    }

  private:
    std::string start_, chunk_;
    size_t left_;
};

TEST_F(ScriptRunnerTest, ALineTooLongToBeAScriptsEndsTheRun) {
    // Read whole, such a line took memory without end and ended the program.
    EndlessLine endless("wait 0\nexpect-text ", 64 << 20);
    std::istream in(&endless);
    std::ostringstream out;
    ScriptRunner runner(out, shots.path(), [] {});
    EXPECT_FALSE(runner.run(in));
    EXPECT_LE(endless.given, (1u << 20) + 65536 + 20);
    ASSERT_LT(out.str().size(), 200u);
    EXPECT_EQ(out.str(), "ok wait 0\nfail expect-text " + std::string(52, 'x') +
                             "...: line longer than 1048576 bytes\n");
    // A long line below the limit is read whole.
    bool ok = true;
    EXPECT_EQ(run("expect-no-text " + std::string(100000, 'y') + "\nexpect-text 你好", &ok),
              "ok expect-no-text " + std::string(100000, 'y') + "\nok expect-text 你好\n");
    EXPECT_TRUE(ok);
}

TEST_F(ScriptRunnerTest, TypeFailsWhenItsKeysReachNothing) {
    // Keys after a return that closed the keyboard went nowhere, and the
    // command passed as if the field had them.
    screen->endEditingOnReturn = true;
    bool ok = true;
    EXPECT_EQ(run("tap-tag 30\ntype \"ab\\ncd\"\n", &ok),
              "ok tap-tag 30\nfail type \"ab\\ncd\": nothing takes the keys\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(screen->field->text(), "ab");
    EXPECT_EQ(screen->returns, 1);
    // An alert over the field holds the keyboard, as on the phone: a return
    // meant for the alert sent the form behind it again.
    screen->endEditingOnReturn = false;
    EXPECT_EQ(run("tap-tag 30\n", &ok), "ok tap-tag 30\n");
    auto alert = std::make_shared<UIWindow>(CGRectMake(40, 200, 240, 160));
    alert->setWindowLevel(UIWindowLevelAlert);
    alert->makeKeyAndVisible();
    EXPECT_EQ(run("type \"x\\n\"\n", &ok), "fail type \"x\\n\": nothing takes the keys\n");
    EXPECT_EQ(screen->field->text(), "ab");
    EXPECT_EQ(screen->returns, 1);
    alert.reset();
    screen->endEditingOnReturn = true;
    // A return as the last key is taken.
    EXPECT_EQ(run("tap-tag 30\ntype \"c\\n\"\n", &ok), "ok tap-tag 30\nok type \"c\\n\"\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(screen->field->text(), "abc");
    EXPECT_EQ(screen->returns, 2);
}

TEST_F(ScriptRunnerTest, DumpWritesEachViewOnOneLineWhateverItsText) {
    // A text of several lines, such as a dealer's bulletin: its lines went
    // out as lines of their own, one of them read as a failed command.
    screen->caption->setText("通知\r\nfail tap 登录: \"x\" \\ 完");
    bool ok = false;
    const std::string out = run("dump\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_NE(out.find("\n    UILabel frame={{20, 40}, {280, 30}} "
                       "text=\"通知\\r\\nfail tap 登录: \\\"x\\\" \\\\ 完\"\n"),
              std::string::npos)
        << out;
    std::istringstream lines(out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "dump begin");
    // Then views, each its class indented by depth, to the end.
    while (std::getline(lines, line) && line != "dump end")
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(( {2})*[A-Z]\w* .*)"))) << line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "ok dump");
}

TEST_F(ScriptRunnerTest, TheFirstFailureEndsTheRunWithItsReason) {
    const auto failing = [&](const std::string& line) {
        bool ok = true;
        const std::string out = run(line + "\nexpect-text 你好\n", &ok);
        EXPECT_FALSE(ok) << line;
        return out;
    };
    // Waits give up after their time, measured on the clock.
    const double before = platform::clock().now();
    EXPECT_EQ(failing("wait-text 已按 0.5"),
              "fail wait-text 已按 0.5: \"已按\" not shown within 0.5 s\n");
    EXPECT_NEAR(platform::clock().now() - before, 0.5, 0.06);
    EXPECT_EQ(failing("wait-gone 你好 1"),
              "fail wait-gone 你好 1: \"你好\" still shown after 1 s\n");
    EXPECT_EQ(failing("expect-text 再见"),
              "fail expect-text 再见: no visible view shows \"再见\"\n");
    EXPECT_EQ(failing("tap 不在"), "fail tap 不在: no visible view shows \"不在\"\n");
    EXPECT_EQ(failing("type abc"), "fail type abc: nothing takes the keys\n");
    EXPECT_EQ(failing("wait soon"), "fail wait soon: usage: wait SECONDS\n");
    EXPECT_EQ(failing("shot ../escape"), "fail shot ../escape: NAME must be a plain file name\n");
    EXPECT_EQ(failing("shot \"\""), "fail shot \"\": NAME must be a plain file name\n");
    EXPECT_FALSE(std::filesystem::exists(shots.path() / ".png"));
    // Numbers the clock or a tag cannot hold are refused, not cast.
    EXPECT_EQ(failing("wait 1e10"), "fail wait 1e10: usage: wait SECONDS\n");
    EXPECT_EQ(failing("long-press 10 10 1e300"),
              "fail long-press 10 10 1e300: usage: long-press X Y [SECONDS]\n");
    EXPECT_EQ(failing("tap-tag 1e300"), "fail tap-tag 1e300: usage: tap-tag N\n");
    EXPECT_EQ(failing("tap-tag 9223372036854775807"),
              "fail tap-tag 9223372036854775807: usage: tap-tag N\n");
    // A number ends where its word ends, not at a stray NUL byte in it.
    EXPECT_EQ(failing(std::string("wait 1\0x", 8)),
              std::string("fail wait 1\0x: usage: wait SECONDS\n", 35));
    EXPECT_EQ(failing(std::string("tap-tag 7\0", 10)),
              std::string("fail tap-tag 7\0: usage: tap-tag N\n", 34));
    EXPECT_EQ(failing("fly away"), "fail fly away: unknown command fly\n");
    EXPECT_EQ(failing("tap \"open"), "fail tap \"open: unterminated quote\n");
    EXPECT_FALSE(std::filesystem::exists(shots.path().parent_path() / "escape.png"));

    // quit ends the application and the run, and nothing after it runs.
    bool ok = false;
    EXPECT_EQ(run("quit\ntap 按钮\n", &ok), "ok quit\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(screen->later.isValid());
}

TEST_F(ScriptRunnerTest, AWaitEndsAtItsTime) {
    // The clock went on a whole step past the time given: a text shown only
    // after it passed, and a short wait took the step's time.
    auto late = platform::Timer::schedule(0.52, false, [&] { screen->caption->setText("迟到"); });
    bool ok = true;
    double before = platform::clock().now();
    EXPECT_EQ(run("wait-text 迟到 0.5\n", &ok), "fail wait-text 迟到 0.5: \"迟到\" not shown within 0.5 s\n");
    EXPECT_FALSE(ok);
    EXPECT_NEAR(platform::clock().now() - before, 0.5, 1e-9);
    before = platform::clock().now();
    EXPECT_EQ(run("wait-gone 迟到 0.01\n", &ok), "ok wait-gone 迟到 0.01\n");
    EXPECT_NEAR(platform::clock().now() - before, 0, 1e-9);
    EXPECT_EQ(run("wait-gone 你好 0.01\nwait-text 迟到 0.1\n", &ok),
              "fail wait-gone 你好 0.01: \"你好\" still shown after 0.01 s\n");
    EXPECT_NEAR(platform::clock().now() - before, 0.01, 1e-9);
    EXPECT_EQ(run("wait-text 迟到 0.1\n", &ok), "ok wait-text 迟到 0.1\n");
    EXPECT_TRUE(ok);
    late.invalidate();
}

TEST_F(ScriptRunnerTest, TapReachesTheFrontMostView) {
    auto alert = std::make_shared<UIWindow>(CGRectMake(40, 200, 240, 160));
    alert->setWindowLevel(UIWindowLevelAlert);
    int alertConfirms = 0;
    auto confirm = std::make_shared<UIButton>(CGRectMake(20, 100, 200, 40));
    confirm->setTitle("确定", UIControlStateNormal);
    confirm->addTarget([&](UIControl*, UIEvent*) { ++alertConfirms; }, UIControlEventTouchUpInside);
    alert->addSubview(confirm);
    alert->makeKeyAndVisible();
    bool ok = false;
    run("tap 确定\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(alertConfirms, 1);
    EXPECT_EQ(screen->mainConfirms, 0);
    alert.reset();
    run("tap 确定\n", &ok);
    EXPECT_EQ(screen->mainConfirms, 1);
}

TEST_F(ScriptRunnerTest, AFingerOffTheScreenFailsAsATapDoes) {
    // A list that scrolls both ways under the lower half of the screen.
    auto list = std::make_shared<UIScrollView>(CGRectMake(0, 360, 320, 200));
    list->setContentSize(CGSizeMake(2000, 2000));
    screen->view()->addSubview(list);
    const auto failing = [&](const std::string& line) {
        bool ok = true;
        const std::string out = run(line + "\n", &ok);
        EXPECT_FALSE(ok) << line;
        return out;
    };
    // Numbers no finger reaches made the list's offset infinite, then not a
    // number, while the command passed.
    EXPECT_EQ(failing("drag 160 460 1e308 460"),
              "fail drag 160 460 1e308 460: off screen at (1e+308, 460)\n");
    EXPECT_EQ(failing("drag 160 460 160 -1e308 0.5"),
              "fail drag 160 460 160 -1e308 0.5: off screen at (160, -1e+308)\n");
    EXPECT_EQ(failing("drag 400 460 160 460"),
              "fail drag 400 460 160 460: off screen at (400, 460)\n");
    EXPECT_EQ(failing("long-press -5 460"), "fail long-press -5 460: off screen at (-5, 460)\n");
    // Two fingers FROM, then TO apart around the point.
    EXPECT_EQ(failing("pinch 160 460 1e-300 1e300"),
              "fail pinch 160 460 1e-300 1e300: off screen at (-5e+299, 460)\n");
    EXPECT_EQ(failing("pinch 300 460 10 100"), "fail pinch 300 460 10 100: off screen at (350, 460)\n");
    EXPECT_TRUE(std::isfinite(list->contentOffset().x)) << list->contentOffset().x;
    EXPECT_TRUE(std::isfinite(list->contentOffset().y)) << list->contentOffset().y;

    // On the screen, edge to edge, they move it.
    bool ok = false;
    const std::string out = run("drag 300 540 0 380 0.5\npinch 160 460 20 300\nlong-press 0 567 0\n", &ok);
    EXPECT_TRUE(ok) << out;
    EXPECT_GT(list->contentOffset().x, 0);
    EXPECT_GT(list->contentOffset().y, 0);
}

TEST_F(ScriptRunnerTest, ATapOnARowScrolledOutOfItsListFails) {
    // A short list in the lower half; its row scrolled up past the list's
    // lower edge, out of sight on the screen beneath.
    auto list = std::make_shared<UIScrollView>(CGRectMake(0, 360, 320, 100));
    list->setContentSize(CGSizeMake(320, 2000));
    screen->view()->addSubview(list);
    int taps = 0;
    auto row = std::make_shared<UIButton>(CGRectMake(20, 200, 120, 40));
    row->setTitle("行", UIControlStateNormal);
    row->setTag(40);
    row->addTarget([&](UIControl*, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
    list->addSubview(row);
    list->setContentOffset(CGPointMake(0, 120));
    // The finger met the screen around the list, and the tap passed.
    bool ok = true;
    EXPECT_EQ(run("tap 行\n", &ok), "fail tap 行: clipped by UIScrollView tag=0 at (80, 460)\n");
    EXPECT_EQ(run("tap-tag 40\n", &ok),
              "fail tap-tag 40: clipped by UIScrollView tag=0 at (80, 460)\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(taps, 0);
    // Scrolled into the list, it is tapped.
    list->setContentOffset(CGPointMake(0, 170));
    EXPECT_EQ(run("tap 行\ntap-tag 40\n", &ok), "ok tap 行\nok tap-tag 40\n");
    EXPECT_EQ(taps, 2);
}

TEST_F(ScriptRunnerTest, TheScreenTurnedOnItsSideIsWideAndLow) {
    // A button in the right half of the screen held sideways, beyond the
    // width the screen has upright.
    int wideTaps = 0;
    auto wide = std::make_shared<UIButton>(CGRectMake(400, 200, 120, 40));
    wide->setTitle("右边", UIControlStateNormal);
    wide->addTarget([&](UIControl*, UIEvent*) { ++wideTaps; }, UIControlEventTouchUpInside);
    screen->view()->addSubview(wide);
    bool ok = false;
    run("rotate left\n", &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(UIApplication::sharedApplication().statusBarOrientation(),
              UIInterfaceOrientation::LandscapeLeft);
    // It was refused as off the screen, and points below the low screen's
    // edge passed.
    std::string out = run("tap 右边\ntap-at 540 300\n", &ok);
    EXPECT_TRUE(ok) << out;
    EXPECT_EQ(wideTaps, 1);
    out = run("tap-at 160 400\n", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "fail tap-at 160 400: off screen at (160, 400)\n");
    out = run("drag 540 300 160 400\n", &ok);
    EXPECT_EQ(out, "fail drag 540 300 160 400: off screen at (160, 400)\n");
    run("rotate portrait\n", &ok);
    out = run("tap-at 160 400\n", &ok);
    EXPECT_TRUE(ok) << out;
    out = run("tap-at 540 300\n", &ok);
    EXPECT_EQ(out, "fail tap-at 540 300: off screen at (540, 300)\n");
}

// ---- the program ------------------------------------------------------------

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;  // standard output only
};

// Standard input is the script, or what `input` redirects it from ("<&-": closed).
ProgramRun runProgram(const std::string& arguments, const std::string& script,
                      const std::string& input = "") {
    TempDir dir;
    std::ofstream(dir / "script.kav") << script;
    const std::string command = (kavtest::binDir() / "kav-trader").string() + " " + arguments +
                                " 2>" + (dir / "err").string() + " " +
                                (input.empty() ? "<" + (dir / "script.kav").string() : input);
    ProgramRun result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace

TEST(TraderProgram, AFailingCommandEndsTheRunWithStatusOne) {
    auto run = runProgram("--headless --script -", "wait 0.2\nexpect-text \"没有 这个\"\nwait 5\n");
    EXPECT_EQ(run.status, kavtrader::kExitFailed);
    EXPECT_EQ(run.out,
              "ok wait 0.2\nfail expect-text \"没有 这个\": no visible view shows \"没有 这个\"\n");

    run = runProgram("--script -", "wait 0.1\n# done\n");
    EXPECT_EQ(run.status, kavtrader::kExitOk);
    EXPECT_EQ(run.out, "ok wait 0.1\n");

    run = runProgram("--headless --script /no/such/file", "");
    EXPECT_EQ(run.status, kavtrader::kExitUsage);
    EXPECT_EQ(run.out, "");

    // A folder opens like a file but cannot be read: not an empty script that passed.
    TempDir folder;
    run = runProgram("--headless --script " + folder.path().string(), "");
    EXPECT_EQ(run.status, kavtrader::kExitUsage);
    EXPECT_EQ(run.out, "");
    // Nor is standard input that cannot be read: a folder, or closed.
    for (const std::string& input : {"<" + folder.path().string(), std::string("<&-")}) {
        run = runProgram("--headless --script -", "", input);
        EXPECT_EQ(run.status, kavtrader::kExitUsage) << input;
        EXPECT_EQ(run.out, "") << input;
    }
}

TEST(TraderProgram, AReportThatCannotBeWrittenFailsTheRun) {
    // A full disk or a closed output lost every line while the run ended
    // with status 0, as if each command had been seen to pass.
    TempDir dir;
    std::ofstream(dir / "script.kav") << "wait 0.1\nexpect-no-text 没有\n";
    for (const std::string& output : {std::string(">/dev/full"), std::string(">&-")}) {
        const std::string command = (kavtest::binDir() / "kav-trader").string() +
                                    " --script - <" + (dir / "script.kav").string() + " " +
                                    output + " 2>" + (dir / "err").string();
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << output;
        EXPECT_EQ(WEXITSTATUS(status), kavtrader::kExitUsage) << output;
        EXPECT_NE(platform::files::readFile(dir / "err").value_or("").find(
                      "kav-trader: cannot write the standard output"),
                  std::string::npos)
            << output;
    }
    // A reader that went away (`| head -1`): the signal for the write killed
    // the program before the application ended, with no status to tell.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string program = (kavtest::binDir() / "kav-trader").string();
        signal(SIGPIPE, SIG_DFL);
        if (dup2(ends[1], STDOUT_FILENO) < 0 || close(ends[0]) != 0 || close(ends[1]) != 0 ||
            !freopen((dir / "script.kav").c_str(), "r", stdin) ||
            !freopen((dir / "err").c_str(), "w", stderr))
            _exit(127);
        execl(program.c_str(), program.c_str(), "--script", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[0]);
    close(ends[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kavtrader::kExitUsage);
    EXPECT_NE(platform::files::readFile(dir / "err").value_or("").find(
                  "kav-trader: cannot write the standard output"),
              std::string::npos);

    // The runner stops at the first line it could not report.
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    ScriptRunner runner(out, dir.path(), [] {});
    EXPECT_FALSE(runner.runLine("wait 0"));
}

TEST(TraderProgram, CommandLine) {
    const auto refused = [](std::vector<std::string> args) {
        auto r = kavtrader::parseArguments(args);
        return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "(accepted)";
    };
    // A script always runs headless.
    auto scripted = kavtrader::parseArguments({"--script", "tour.kav"});
    ASSERT_TRUE(std::holds_alternative<kavtrader::Options>(scripted));
    EXPECT_EQ(std::get<kavtrader::Options>(scripted).display, kavtrader::Display::Headless);
    EXPECT_EQ(refused({"--window", "--script", "-"}), "--script runs headless; leave out --window");
    EXPECT_EQ(refused({"--window", "--headless"}), "--window and --headless exclude each other");
    EXPECT_EQ(refused({"--shots", "out"}), "--shots needs --script");
}

TEST(TraderProgram, AHeadlessRunEndsCleanlyOnSigterm) {
    TempDir dir;
    const auto err = dir / "err";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string program = (kavtest::binDir() / "kav-trader").string();
        if (freopen(err.c_str(), "w", stderr) == nullptr) _exit(127);
        execl(program.c_str(), program.c_str(), "--headless", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Running once the session is made (the signals are taken by then).
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        started = platform::files::readFile(err).value_or("").find("SDK 版本") != std::string::npos;
    }
    EXPECT_TRUE(started);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    // The run loop stopped and the application ended as it ends when closed.
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kavtrader::kExitOk);
}
