// SDL events as a user makes them, put into SDL's queue and taken by the
// desktop window's own wait, as a real session's are: what the window's
// event monkeys (this folder's and the application's) share.
#pragma once

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/RunLoop.h"
#include "platform/ui/Image.h"
#include "platform/ui/sdl-window/DesktopWindow.h"

namespace kavtest::sdl {

// Lets the window's wait take what is queued, as the run loop does; a few
// turns more while events stay queued (the window takes them all at once).
inline void settle() {
    auto& loop = platform::RunLoop::main();
    for (int i = 0; i < 3; ++i)
        loop.runUntil([] { return false; }, 0.002);
    for (int i = 0;
         i < 50 && SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
         ++i)
        loop.runUntil([] { return false; }, 0.002);
}

inline void push(SDL_Event e) {
    SDL_PushEvent(&e);
    settle();
}

// SDL's window of the desktop window: the last one opened.
inline SDL_Window* sdlWindow() {
    SDL_Window* last = nullptr;
    for (Uint32 id = 1; id < 4096; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id)) last = w;
    return last;
}

// The window pixel of a point of the screen.
inline SDL_Point pixelOf(const platform::ui::DesktopWindow& desktop, platform::ui::CGPoint p) {
    const platform::ui::CGRect shown = desktop.shownArea();
    const platform::ui::CGFloat k = desktop.scale();
    return {static_cast<int>(std::lround(shown.origin.x + p.x * k)),
            static_cast<int>(std::lround(shown.origin.y + p.y * k))};
}

// A press, release or move of the mouse at a window pixel; a move with the
// left button held when `held`.
inline void mouse(Uint32 type, Uint8 button, SDL_Point at, bool held) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = at.x;
        e.motion.y = at.y;
        e.motion.state = held ? SDL_BUTTON_LMASK : 0;
    } else {
        e.button.button = button;
        e.button.x = at.x;
        e.button.y = at.y;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
    }
    push(e);
}

// A key pressed (a repeat when `repeat`), and let go when `andUp` and not a
// repeat.
inline void key(SDL_Keycode sym, Uint16 mod, bool repeat, bool andUp) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    push(e);
    if (!andUp || repeat) return;
    e.type = SDL_KEYUP;
    e.key.state = SDL_RELEASED;
    push(e);
}

inline void windowEvent(Uint8 what, int data1 = 0, int data2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(sdlWindow());
    e.window.event = what;
    e.window.data1 = data1;
    e.window.data2 = data2;
    push(e);
}

// Text as an input method commits it (at most what one event holds).
inline void textInput(const std::string& text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = SDL_GetWindowID(sdlWindow());
    std::strncpy(e.text.text, text.c_str(), sizeof e.text.text - 1);
    push(e);
}

// Pixels that differ by more than `tolerance` in a colour where two images
// overlap; -1 when their sizes differ by more than the rounding of a
// fractional scale.
inline long pixelsDiffering(const platform::ui::UIImagePtr& a, const platform::ui::UIImagePtr& b,
                            double tolerance = 0) {
    if (!a || !b || std::abs(a->pixelWidth() - b->pixelWidth()) > 1 ||
        std::abs(a->pixelHeight() - b->pixelHeight()) > 1)
        return -1;
    long n = 0;
    const int w = std::min(a->pixelWidth(), b->pixelWidth());
    const int h = std::min(a->pixelHeight(), b->pixelHeight());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const platform::ui::UIColor p = a->pixelAt(x, y), q = b->pixelAt(x, y);
            if (std::max({std::fabs(p.red - q.red), std::fabs(p.green - q.green),
                          std::fabs(p.blue - q.blue)}) > tolerance)
                ++n;
        }
    return n;
}

}  // namespace kavtest::sdl
