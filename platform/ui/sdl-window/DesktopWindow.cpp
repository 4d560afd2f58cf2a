#include "platform/ui/sdl-window/DesktopWindow.h"

#include <SDL.h>
#include <cairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Device.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace platform::ui {

namespace {
constexpr int kMouseFinger = 1;
constexpr int kPinchA = 101;
constexpr int kPinchB = 102;
constexpr double kPinchIdle = 0.3;
constexpr double kFrameInterval = 1.0 / 60;
}  // namespace

struct DesktopWindow::Impl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    cairo_surface_t* surface = nullptr;
    CGFloat scale = 2;
    int pixelW = 0, pixelH = 0;
    Uint32 wakeEvent = 0;
    bool open = false;
    bool mouseDown = false;
    bool forceFrame = true;
    unsigned long frames = 0;
    UIScreenRenderer::Frame lastFrame;
    // Pinch by ctrl + wheel.
    bool pinching = false;
    CGPoint pinchCenter{};
    double pinchDistance = 100;
    platform::Timer pinchEnd;

    void resize() {
        CGSize size = UIScreenRenderer::screenSize();
        pixelW = static_cast<int>(std::lround(size.width * scale));
        pixelH = static_cast<int>(std::lround(size.height * scale));
        SDL_SetWindowSize(window, pixelW, pixelH);
        if (texture) SDL_DestroyTexture(texture);
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                    pixelW, pixelH);
        if (surface) cairo_surface_destroy(surface);
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelW, pixelH);
        forceFrame = true;
    }

    // Composites what changed into the kept frame and shows it. Returns
    // false when nothing changed (no work was done).
    bool drawIfNeeded() {
        if (!forceFrame && !UIScreenRenderer::needsFrame()) return false;
        CGSize size = UIScreenRenderer::screenSize();
        if (static_cast<int>(std::lround(size.width * scale)) != pixelW) resize();
        if (forceFrame) UIScreenRenderer::setNeedsDisplayScreen();
        forceFrame = false;
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, scale, scale);
        const auto frame = UIScreenRenderer::composite(cr, size, scale);
        cairo_destroy(cr);
        if (frame.damage.empty()) return false;
        cairo_surface_flush(surface);
        // Only the changed pixels go to the texture.
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (const CGRect& r : frame.damage) {
            SDL_Rect px;
            px.x = std::clamp(static_cast<int>(std::lround(r.origin.x * scale)), 0, pixelW);
            px.y = std::clamp(static_cast<int>(std::lround(r.origin.y * scale)), 0, pixelH);
            px.w = std::clamp(static_cast<int>(std::lround(CGRectGetMaxX(r) * scale)), 0, pixelW) -
                   px.x;
            px.h = std::clamp(static_cast<int>(std::lround(CGRectGetMaxY(r) * scale)), 0, pixelH) -
                   px.y;
            if (px.w <= 0 || px.h <= 0) continue;
            SDL_UpdateTexture(texture, &px, data + static_cast<size_t>(px.y) * stride + px.x * 4,
                              stride);
        }
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
        ++frames;
        lastFrame = frame;
        return true;
    }

    CGPoint toPoints(int x, int y) const { return {x / scale, y / scale}; }

    void pinchTouches(UITouchPhase phase) {
        CGPoint a{pinchCenter.x - pinchDistance / 2, pinchCenter.y};
        CGPoint b{pinchCenter.x + pinchDistance / 2, pinchCenter.y};
        TouchInput::touches({{kPinchA, phase, a}, {kPinchB, phase, b}});
    }

    void wheel(const SDL_MouseWheelEvent& e) {
        if (!(SDL_GetModState() & KMOD_CTRL) || e.y == 0) return;
        int mx = 0, my = 0;
        SDL_GetMouseState(&mx, &my);
        if (!pinching) {
            pinching = true;
            pinchCenter = toPoints(mx, my);
            pinchDistance = 100;
            pinchTouches(UITouchPhase::Began);
        }
        pinchDistance = std::clamp(pinchDistance * (e.y > 0 ? 1.1 : 1 / 1.1), 20.0, 600.0);
        pinchTouches(UITouchPhase::Moved);
        pinchEnd = platform::Timer::schedule(kPinchIdle, false, [this] {
            pinching = false;
            pinchTouches(UITouchPhase::Ended);
        });
    }

    void key(const SDL_KeyboardEvent& e) {
        UIResponder* r = UIResponder::currentFirstResponder();
        switch (e.keysym.sym) {
            case SDLK_BACKSPACE:
                if (r && r->acceptsTextInput()) r->deleteBackward();
                break;
            case SDLK_RETURN:
            case SDLK_KP_ENTER:
                if (r && r->acceptsTextInput()) r->insertText("\n");
                break;
            case SDLK_F1:
                TouchInput::shake();
                break;
            case SDLK_F2: {
                auto& device = UIDevice::currentDevice();
                device.setOrientation(UIDeviceOrientationIsLandscape(device.orientation())
                                          ? UIDeviceOrientation::Portrait
                                          : UIDeviceOrientation::LandscapeLeft);
                resize();
                break;
            }
            default:
                break;
        }
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
            case SDL_QUIT:
                RunLoop::main().stop();
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED) forceFrame = true;
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (e.button.button == SDL_BUTTON_LEFT) {
                    mouseDown = true;
                    TouchInput::touchDown(kMouseFinger, toPoints(e.button.x, e.button.y));
                }
                break;
            case SDL_MOUSEMOTION:
                if (mouseDown)
                    TouchInput::touchMove(kMouseFinger, toPoints(e.motion.x, e.motion.y));
                break;
            case SDL_MOUSEBUTTONUP:
                if (e.button.button == SDL_BUTTON_LEFT && mouseDown) {
                    mouseDown = false;
                    TouchInput::touchUp(kMouseFinger, toPoints(e.button.x, e.button.y));
                }
                break;
            case SDL_MOUSEWHEEL:
                wheel(e.wheel);
                break;
            case SDL_TEXTINPUT: {
                UIResponder* r = UIResponder::currentFirstResponder();
                if (r && r->acceptsTextInput()) r->insertText(e.text.text);
                break;
            }
            case SDL_KEYDOWN:
                key(e.key);
                break;
            default:
                break;
        }
    }

    // The run loop's idle wait: draw what changed, then sleep in the event
    // queue until input, a wake-up, the next timer or the next frame of a
    // running animation.
    void wait(double maxSeconds) {
        drawIfNeeded();
        double limit = maxSeconds;
        if (animation::activeCount() > 0)
            limit = limit < 0 ? kFrameInterval : std::min(limit, kFrameInterval);
        SDL_Event e;
        int got;
        if (limit < 0) {
            got = SDL_WaitEvent(&e);
        } else {
            int ms = static_cast<int>(std::ceil(limit * 1000));
            got = SDL_WaitEventTimeout(&e, std::max(ms, 1));
        }
        if (!got) return;
        do {
            if (e.type != wakeEvent) handle(e);
        } while (SDL_PollEvent(&e));
    }
};

bool DesktopWindow::displayAvailable() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!w || !*w)) return false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    return true;
}

DesktopWindow::DesktopWindow(CGFloat scale) : impl_(std::make_unique<Impl>()) {
    impl_->scale = scale;
    if (!displayAvailable()) {
        platform::log("UI: no display; running headless");
        return;
    }
    UIScreen::mainScreen().setScale(scale);
    CGSize size = UIScreenRenderer::screenSize();
    impl_->window = SDL_CreateWindow("KAV Trader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     static_cast<int>(size.width * scale),
                                     static_cast<int>(size.height * scale), 0);
    if (!impl_->window) {
        platform::log(std::string("UI: cannot open a window: ") + SDL_GetError());
        return;
    }
    impl_->renderer = SDL_CreateRenderer(impl_->window, -1, SDL_RENDERER_SOFTWARE);
    if (!impl_->renderer) impl_->renderer = SDL_CreateRenderer(impl_->window, -1, 0);
    impl_->resize();
    impl_->wakeEvent = SDL_RegisterEvents(1);
    impl_->open = true;
    SDL_StartTextInput();
    Impl* impl = impl_.get();
    const Uint32 wake = impl_->wakeEvent;
    RunLoop::main().setWaitHooks([impl](double max) { impl->wait(max); },
                                 [wake] {
                                     SDL_Event e{};
                                     e.type = wake;
                                     SDL_PushEvent(&e);
                                 });
}

DesktopWindow::~DesktopWindow() {
    if (impl_->open) RunLoop::main().setWaitHooks(nullptr, nullptr);
    if (impl_->surface) cairo_surface_destroy(impl_->surface);
    if (impl_->texture) SDL_DestroyTexture(impl_->texture);
    if (impl_->renderer) SDL_DestroyRenderer(impl_->renderer);
    if (impl_->window) SDL_DestroyWindow(impl_->window);
    if (impl_->open) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool DesktopWindow::isOpen() const {
    return impl_->open;
}

void DesktopWindow::run() {
    if (!impl_->open) return;
    impl_->forceFrame = true;
    RunLoop::main().run();
}

unsigned long DesktopWindow::framesDrawn() const {
    return impl_->frames;
}

bool DesktopWindow::drawFrameIfNeeded() {
    return impl_->open && impl_->drawIfNeeded();
}

const UIScreenRenderer::Frame& DesktopWindow::lastFrame() const {
    return impl_->lastFrame;
}

UIImagePtr DesktopWindow::shownImage() const {
    if (!impl_->surface) return nullptr;
    cairo_surface_flush(impl_->surface);
    cairo_surface_t* copy =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, impl_->pixelW, impl_->pixelH);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, impl_->surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    auto image = std::make_shared<UIImage>(copy, impl_->scale);
    cairo_surface_destroy(copy);
    return image;
}

namespace {
// Linked in, the desktop window offers itself as the display before main runs.
const bool gRegistered = [] {
    UIDisplayRegisterBackend([](CGFloat scale) -> std::unique_ptr<UIDisplay> {
        if (!DesktopWindow::displayAvailable()) return nullptr;
        auto window = std::make_unique<DesktopWindow>(scale);
        if (!window->isOpen()) return nullptr;
        return window;
    });
    return true;
}();
}  // namespace

}  // namespace platform::ui
