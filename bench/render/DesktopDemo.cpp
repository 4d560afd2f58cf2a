// A sample screen in the desktop window: labels, a box that follows a pan
// and springs back, a button that fades it. With "--seconds N" it quits after
// N seconds and prints the frames drawn and the CPU time used, which is how
// the idle check is made (nothing changes: no frames, no CPU).
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Display.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Label.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

using namespace platform::ui;

int main(int argc, char** argv) {
    double seconds = -1;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    platform::RunLoop::main().adoptCurrentThread();
    // The window comes from the display back end this program links.
    auto desktop = UIDisplayOpen(2);
    if (!desktop) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }

    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    window->setBackgroundColor(UIColor::grey255(30));
    auto title = std::make_shared<UILabel>(CGRectMake(20, 40, 280, 30));
    title->setText("行情 — 桌面窗口");
    title->setFont(UIFont::boldSystemFontOfSize(20));
    title->setTextColor(UIColor::whiteColor());
    window->addSubview(title);

    auto box = std::make_shared<UIView>(CGRectMake(110, 200, 100, 100));
    box->setBackgroundColor(UIColor::rgb255(39, 140, 192));
    box->layer().setCornerRadius(12);
    auto pan = std::make_shared<UIPanGestureRecognizer>(
        [box, home = box->center()](UIGestureRecognizer& g) {
            auto& p = static_cast<UIPanGestureRecognizer&>(g);
            CGPoint t = p.translationInView(box->superviewRaw());
            if (g.state() == UIGestureRecognizerState::Changed ||
                g.state() == UIGestureRecognizerState::Began)
                box->setCenter({home.x + t.x, home.y + t.y});
            else
                UIView::animateWithDuration(0.3, [box, home] { box->setCenter(home); });
        });
    box->addGestureRecognizer(pan);
    window->addSubview(box);

    auto button = std::make_shared<UIControl>(CGRectMake(60, 420, 200, 44));
    button->setBackgroundColor(UIColor::rgb255(19, 145, 55));
    button->layer().setCornerRadius(5);
    auto caption = std::make_shared<UILabel>(button->bounds());
    caption->setText("确认");
    caption->setTextAlignment(NSTextAlignment::Center);
    caption->setTextColor(UIColor::grey255(220));
    button->addSubview(caption);
    int taps = 0, pans = 0;
    button->addTarget(
        [box, &taps](UIControl*, UIEvent*) {
            ++taps;
            UIView::animateWithDuration(0.5,
                                        [box] { box->setAlpha(box->alpha() > 0.5 ? 0.2 : 1); });
        },
        UIControlEventTouchUpInside);
    pan->addTarget([&pans](UIGestureRecognizer& g) {
        if (g.state() == UIGestureRecognizerState::Ended) ++pans;
    });
    window->addSubview(button);
    window->makeKeyAndVisible();

    platform::Timer quit;
    if (seconds > 0)
        quit = platform::Timer::schedule(seconds, false, [] { platform::RunLoop::main().stop(); });
    desktop->run();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("taps: %d, pans: %d\n", taps, pans);
    std::printf("frames drawn: %lu, cpu: %.3f s\n", desktop->framesDrawn(),
                usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                    usage.ru_stime.tv_usec / 1e6);
    return 0;
}
