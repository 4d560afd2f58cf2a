#include "platform/ui/sdl-window/DesktopWindow.h"

#include <SDL.h>
#include <cairo.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

// Last: they bring Xlib's macros (None, Bool, Status...).
#include <SDL_syswm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace platform::ui {

namespace {
constexpr int kMouseFinger = 1;
constexpr int kPinchA = 101;
constexpr int kPinchB = 102;
constexpr double kPinchIdle = 0.3;
constexpr double kFrameInterval = 1.0 / 60;
// SDL's event pump keeps the screen saver away every 30 s.
constexpr int kUpkeepSeconds = 30;
// Room kept for the window's title bar and frame while the window manager has
// not said how large they are.
constexpr int kFrameAllowanceX = 8;
constexpr int kFrameAllowanceY = 40;

// The display area a window may take (what panels and docks leave).
SDL_Rect usableArea(SDL_Window* window) {
    const int index = window ? std::max(0, SDL_GetWindowDisplayIndex(window)) : 0;
    SDL_Rect area{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(index, &area) != 0 || area.w <= 0 || area.h <= 0)
        SDL_GetDisplayBounds(index, &area);
    return area;
}

// The title bar and frame around the window's content: what the window
// manager reports, else an allowance.
void frameExtents(SDL_Window* window, int& w, int& h) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (window && SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
        top + left + bottom + right > 0) {
        w = left + right;
        h = top + bottom;
        return;
    }
    w = kFrameAllowanceX;
    h = kFrameAllowanceY;
}

// Hands a web, mail or telephone address to the desktop's opener.
void openOnDesktop(const std::string& url) {
    // Without its colon a word such as "https" is no address: the opener
    // would take it for a file of that name.
    const size_t colon = url.find(':');
    const std::string scheme = colon == std::string::npos ? std::string() : url.substr(0, colon);
    if (scheme != "http" && scheme != "https" && scheme != "mailto" && scheme != "tel") {
        platform::log("UI: not opening " + url + " (not a web, mail or telephone address)");
        return;
    }
    const std::optional<std::string> opener = platform::files::programOnPath("xdg-open");
    if (!opener) {
        platform::log("UI: no xdg-open on this desktop to open " + url);
        return;
    }
    std::vector<char*> argv{const_cast<char*>(opener->c_str()), const_cast<char*>(url.c_str()),
                            nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, opener->c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        platform::log("UI: cannot start xdg-open for " + url);
        return;
    }
    // The opener returns at once (the browser goes on alone); it is reaped
    // off the main thread.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
}

// On a local X server with shared memory, the phone screen is composited
// straight into an image that the server reads from memory both share, and
// only the changed areas are put on the window: no copy into SDL's window
// surface, and no round trip to the server per frame (SDL waits for every
// update to be done). A frame's puts go out together in one write, and
// nothing is read back then. The image is never drawn into while the server
// may still be reading it: the last put of a frame asks for word when it is
// done, which the next frame awaits (long arrived by then, unless frames
// follow closely, and taken in one read). It talks to the server on a
// connection of its own (XCB's, with no Xlib queue in between), so that word
// is not taken by SDL's event loop and wakes nothing: it is read only when
// the next frame needs it.
class SharedImage {
  public:
    // Null, and `why` says why, where the display cannot take it.
    static std::unique_ptr<SharedImage> open(::Display* shown, ::Window window, std::string& why) {
        const char* name = DisplayString(shown);
        // The server must reach this machine's memory.
        if (!name || (name[0] != ':' && std::strncmp(name, "unix:", 5) != 0)) {
            why = std::string("the display ") + (name ? name : "") + " is not local";
            return nullptr;
        }
        xcb_connection_t* c = xcb_connect(name, nullptr);
        if (!c || xcb_connection_has_error(c)) {
            if (c) xcb_disconnect(c);
            why = std::string("cannot connect to ") + name;
            return nullptr;
        }
        std::unique_ptr<SharedImage> image(new SharedImage(c, static_cast<xcb_window_t>(window)));
        const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
        if (!shm || !shm->present) {
            why = "the display has no shared memory images";
            return nullptr;
        }
        image->completion_ = static_cast<uint8_t>(shm->first_event + XCB_SHM_COMPLETION);
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            c, xcb_get_window_attributes(c, image->window_), nullptr);
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(c, xcb_get_geometry(c, image->window_), nullptr);
        const xcb_visualid_t visualId = attributes ? attributes->visual : 0;
        const int depth = geometry ? geometry->depth : 0;
        std::free(attributes);
        std::free(geometry);
        if (!visualId || !depth) {
            why = "the window cannot be queried";
            return nullptr;
        }
        // Cairo's pixels as they are: 32 bits of x-R-G-B in the machine's own
        // byte order. SDL may give its window a direct-colour visual (for
        // gamma ramps), whose colour map it fills with the identity: its
        // pixels are the same as true colour's.
        const xcb_setup_t* setup = xcb_get_setup(c);
        const xcb_visualtype_t* v = nullptr;
        for (auto s = xcb_setup_roots_iterator(setup); s.rem && !v; xcb_screen_next(&s))
            for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem && !v;
                 xcb_depth_next(&d))
                for (auto t = xcb_depth_visuals_iterator(d.data); t.rem; xcb_visualtype_next(&t))
                    if (t.data->visual_id == visualId) {
                        v = t.data;
                        break;
                    }
        if (depth != 24 || !v ||
            (v->_class != XCB_VISUAL_CLASS_TRUE_COLOR &&
             v->_class != XCB_VISUAL_CLASS_DIRECT_COLOR) ||
            v->red_mask != 0xff0000 || v->green_mask != 0xff00 || v->blue_mask != 0xff) {
            std::ostringstream what;
            what << "the window's visual (depth " << depth << ", class "
                 << (v ? static_cast<int>(v->_class) : -1) << ", red " << std::hex
                 << (v ? v->red_mask : 0) << ") is not 24-bit x-R-G-B";
            why = what.str();
            return nullptr;
        }
        // A row of the image is its width in 32-bit pixels, in this machine's
        // byte order.
        bool rowsOfPixels = false;
        for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
            if (f.data->depth == depth)
                rowsOfPixels = f.data->bits_per_pixel == 32 && f.data->scanline_pad <= 32;
        const uint32_t one = 1;
        const bool littleEndian = *reinterpret_cast<const unsigned char*>(&one) == 1;
        if (!rowsOfPixels ||
            (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian) {
            why = "the display's images are not 32-bit pixels in this machine's order";
            return nullptr;
        }
        image->depth_ = static_cast<uint8_t>(depth);
        const uint32_t values[] = {0 /* black in that visual */, 0 /* no exposures */};
        const xcb_gcontext_t gc = xcb_generate_id(c);
        if (xcb_generic_error_t* error = xcb_request_check(
                c, xcb_create_gc_checked(c, gc, image->window_,
                                         XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values))) {
            std::free(error);
            why = "cannot draw on the window";
            return nullptr;
        }
        image->gc_ = gc;
        return image;
    }

    ~SharedImage() {
        release();
        if (gc_) xcb_free_gc(c_, gc_);
        xcb_disconnect(c_);
    }
    SharedImage(const SharedImage&) = delete;
    SharedImage& operator=(const SharedImage&) = delete;

    // A blank image of `width` x `height` pixels to composite into; false,
    // and `why` says why, when the server cannot take one.
    bool resize(int width, int height, std::string& why) {
        release();
        if (width > UINT16_MAX || height > UINT16_MAX) {
            why = "the window is larger than the display's images";
            return false;
        }
        const int stride = width * 4;
        const size_t bytes = static_cast<size_t>(stride) * height;
        shmid_ = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (shmid_ < 0) {
            why = std::string("no shared memory: ") + std::strerror(errno);
            return false;
        }
        void* memory = shmat(shmid_, nullptr, 0);
        if (memory == reinterpret_cast<void*>(-1)) {
            why = std::string("no shared memory: ") + std::strerror(errno);
            shmctl(shmid_, IPC_RMID, nullptr);
            shmid_ = -1;
            return false;
        }
        memory_ = memory;
        const xcb_shm_seg_t segment = xcb_generate_id(c_);
        xcb_generic_error_t* error = xcb_request_check(
            c_, xcb_shm_attach_checked(c_, segment, static_cast<uint32_t>(shmid_), 0));
        // Gone with the last of the server and this process to let go of
        // it, whichever way either ends.
        shmctl(shmid_, IPC_RMID, nullptr);
        if (error) {
            std::free(error);
            why = "the display cannot attach shared memory";
            return false;
        }
        segment_ = segment;
        surface_ = cairo_image_surface_create_for_data(static_cast<unsigned char*>(memory),
                                                       CAIRO_FORMAT_ARGB32, width, height, stride);
        if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
            why = "cairo cannot draw into the shared image";
            return false;
        }
        width_ = width;
        height_ = height;
        return true;
    }

    // What the frame is composited into; the server may still be reading it
    // until finishPut().
    cairo_surface_t* surface() const { return surface_; }

    // Waits until the server has read all that was put: the word of the last
    // put (or its failure: the server is done with it either way). Looked
    // for first in what has come already, one read that does not wait.
    void finishPut() {
        while (pending_) {
            xcb_generic_event_t* event = xcb_poll_for_event(c_);
            ++reads_;
            if (!event) event = xcb_wait_for_event(c_);
            if (!event) {
                // The connection is gone: nothing reads the image any more.
                pending_ = false;
                break;
            }
            // Word of the last put, not of one before it (a whole window put
            // again before the next frame asks twice).
            const uint8_t type = event->response_type & 0x7f;
            if ((type == completion_ || type == 0) &&
                static_cast<int32_t>(event->full_sequence - lastPut_) >= 0)
                pending_ = false;
            std::free(event);
        }
    }

    // Puts `areas` (pixels of the image) on the window, the image's origin
    // at (`x`, `y`) there: one write for them all.
    void put(const SDL_Rect* areas, size_t count, int x, int y) {
        for (size_t i = 0; i < count; ++i) {
            const SDL_Rect& a = areas[i];
            const bool last = i + 1 == count;
            const xcb_void_cookie_t sent = xcb_shm_put_image(
                c_, window_, gc_, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_),
                static_cast<uint16_t>(a.x), static_cast<uint16_t>(a.y),
                static_cast<uint16_t>(a.w), static_cast<uint16_t>(a.h),
                static_cast<int16_t>(a.x + x), static_cast<int16_t>(a.y + y), depth_,
                XCB_IMAGE_FORMAT_Z_PIXMAP, last ? 1 : 0, segment_, 0);
            if (last) lastPut_ = sent.sequence;
        }
        if (!count) return;
        pending_ = true;
        xcb_flush(c_);
        ++writes_;
    }

    // Puts the whole image at (`x`, `y`) in a window of `w` x `h` pixels,
    // black around it.
    void putAll(int w, int h, int x, int y) {
        xcb_rectangle_t margins[4];
        uint32_t n = 0;
        const auto margin = [&](int mx, int my, int mw, int mh) {
            if (mw > 0 && mh > 0)
                margins[n++] = {static_cast<int16_t>(mx), static_cast<int16_t>(my),
                                static_cast<uint16_t>(mw), static_cast<uint16_t>(mh)};
        };
        margin(0, 0, w, y);
        margin(0, y + height_, w, h - y - height_);
        margin(0, y, x, height_);
        margin(x + width_, y, w - x - width_, height_);
        if (n) xcb_poly_fill_rectangle(c_, window_, gc_, n, margins);
        const SDL_Rect all{0, 0, width_, height_};
        put(&all, 1, x, y);
    }

    // Writes to the server and reads from it so far (tests).
    unsigned long writes() const { return writes_; }
    unsigned long reads() const { return reads_; }

  private:
    SharedImage(xcb_connection_t* c, xcb_window_t window) : c_(c), window_(window) {}

    void release() {
        finishPut();
        if (surface_) cairo_surface_destroy(surface_);
        surface_ = nullptr;
        if (segment_) xcb_shm_detach(c_, segment_);
        segment_ = 0;
        if (memory_) shmdt(memory_);
        memory_ = nullptr;
        shmid_ = -1;
        width_ = height_ = 0;
    }

    xcb_connection_t* c_;
    xcb_window_t window_;
    uint8_t depth_ = 0;
    xcb_gcontext_t gc_ = 0;
    uint8_t completion_ = 0;
    int shmid_ = -1;
    void* memory_ = nullptr;
    xcb_shm_seg_t segment_ = 0;
    cairo_surface_t* surface_ = nullptr;
    int width_ = 0, height_ = 0;
    // The last put asked for word of its end, which has not been read yet.
    bool pending_ = false;
    // Its sequence number (the server's failure to put names it).
    uint32_t lastPut_ = 0;
    unsigned long writes_ = 0;
    unsigned long reads_ = 0;
};
}  // namespace

CGFloat DesktopWindow::fittingScale(CGSize points, CGSize room) {
    const auto fits = [&](CGFloat k) {
        return points.width * k <= room.width + 1e-9 && points.height * k <= room.height + 1e-9;
    };
    if (fits(2)) return 2;
    if (fits(1)) return 1;
    if (points.width <= 0 || points.height <= 0) return 1;
    return std::max(0.1, std::min(room.width / points.width, room.height / points.height));
}

struct DesktopWindow::Impl {
    SDL_Window* window = nullptr;
    // The phone screen as last composited, at the window's pixel size: the
    // shared image's where there is one, else this object's own.
    cairo_surface_t* surface = nullptr;
    cairo_t* context = nullptr;
    // On a local X server: frames reach the window through an image shared
    // with the server. Null where there is none (SDL's window surface
    // serves).
    std::unique_ptr<SharedImage> shared;
    // Pixels per point at which the phone screen is drawn now: the screen is
    // laid out in points as on the phone and drawn at the window's own pixel
    // size, never stretched.
    CGFloat scale = 2;
    // The screen's scale before the window set its own: given back when
    // the window goes.
    CGFloat screenScaleFound = 1;
    // The phone screen's pixel size at that scale, and where it lies in the
    // window (centred; black around it when the window's shape differs).
    int pixelW = 0, pixelH = 0;
    int offsetX = 0, offsetY = 0;
    int windowW = 0, windowH = 0;
    CGSize shownPoints{};
    Uint32 wakeEvent = 0;
    // On X the wait is a poll of the display's connection and of this
    // counter, which other threads bump to wake the main thread: SDL's own
    // wake-up is an event sent through the X server, a round trip for every
    // quote the network thread posts (a tenth of the window's CPU at ten
    // quotes a second). -1 where there is no connection to poll (SDL's
    // dummy driver): SDL's wait and wake-up event serve.
    int displayFd = -1;
    int wakeFd = -1;
    // SDL's connection to the X display, its next request number when it
    // was last read to the end, and the last frame's time then.
    ::Display* xDisplay = nullptr;
    unsigned long quietFrom = 0;
    std::chrono::steady_clock::time_point lastRead{};
    // A wake-up is queued and not yet taken: posts from the network thread
    // in the meantime need no other.
    std::atomic<bool> wakePending{false};
    bool open = false;
    // Whether SDL keeps the desktop's screen saver away now: -1 before the
    // first wait has looked at the application's switch.
    int screenSaverHeld = -1;
    bool mouseDown = false;
    bool forceFrame = true;
    // The whole window is put on the display at the next frame (a new size,
    // or the display lost what it showed); else only what changed.
    bool showAll = true;
    bool loggedNoSurface = false;
    unsigned long frames = 0;
    unsigned long wakeUps = 0;
    unsigned long displayReads = 0;
    long pixelsShown = 0;
    std::chrono::steady_clock::time_point lastShown{};
    UIScreenRenderer::Frame lastFrame;
    std::vector<SDL_Rect> pixelAreas;
    // Pinch by ctrl + wheel.
    bool pinching = false;
    CGPoint pinchCenter{};
    double pinchDistance = 100;
    platform::Timer pinchEnd;

    // The largest scale at which `points` and the window's frame fit the
    // display.
    CGFloat fitting(CGSize points) const {
        const SDL_Rect area = usableArea(window);
        int fw = 0, fh = 0;
        frameExtents(window, fw, fh);
        return fittingScale(points, {static_cast<CGFloat>(area.w - fw),
                                     static_cast<CGFloat>(area.h - fh)});
    }

    // The window's drawable size changed (or the screen turned): the phone
    // screen is drawn at the largest scale that fits it, centred.
    void layOut() {
        const CGSize size = UIScreenRenderer::screenSize();
        int w = 0, h = 0;
        if (shared) {
            // SDL's window surface is never made: the window's pixels come
            // from the shared image alone.
            SDL_GetWindowSizeInPixels(window, &w, &h);
        } else if (SDL_Surface* shown = SDL_GetWindowSurface(window)) {
            w = shown->w;
            h = shown->h;
        } else {
            SDL_GetWindowSize(window, &w, &h);
        }
        windowW = std::max(1, w);
        windowH = std::max(1, h);
        scale = std::min(windowW / size.width, windowH / size.height);
        const int pw = std::max(1, static_cast<int>(std::floor(size.width * scale + 1e-6)));
        const int ph = std::max(1, static_cast<int>(std::floor(size.height * scale + 1e-6)));
        offsetX = (windowW - pw) / 2;
        offsetY = (windowH - ph) / 2;
        shownPoints = size;
        // Pictures made from now on (a tinted arrow, a bar button's drawing)
        // at the screen's scale have whole pixels enough for this one: made
        // at 1 and drawn at 2 they came out soft beside the text.
        UIScreen::mainScreen().setScale(std::clamp(std::ceil(scale - 1e-6), 1.0, 4.0));
        dropContext();
        if (pw != pixelW || ph != pixelH || !surface) {
            pixelW = pw;
            pixelH = ph;
            releaseSurface();
            std::string why;
            if (shared && shared->resize(pixelW, pixelH, why)) {
                surface = shared->surface();
            } else {
                if (shared) useWindowSurface(why);
                surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelW, pixelH);
            }
        }
        forceFrame = true;
        showAll = true;
    }

    // The context frames are composited through, kept from one frame to
    // the next with the surface and scale it was made for: making one and
    // scaling it was a share of each frame's cost at ten quotes a second.
    // Each frame runs between a save and a restore of its state.
    cairo_t* frameContext() {
        if (!context) {
            context = cairo_create(surface);
            cairo_scale(context, scale, scale);
        }
        return context;
    }
    void dropContext() {
        if (context) cairo_destroy(context);
        context = nullptr;
    }

    void releaseSurface() {
        dropContext();
        if (surface && !shared) cairo_surface_destroy(surface);
        surface = nullptr;
    }

    // The shared image cannot serve (or no longer): SDL's window surface
    // does, from now on.
    void useWindowSurface(const std::string& why) {
        platform::log("UI: frames go through SDL's window surface: " + why);
        shared.reset();
    }

    // Sizes the window for the phone screen at `k` pixels per point.
    void sizeWindow(CGFloat k) {
        const CGSize size = UIScreenRenderer::screenSize();
        SDL_SetWindowSize(window, static_cast<int>(std::lround(size.width * k)),
                          static_cast<int>(std::lround(size.height * k)));
        layOut();
    }

    // The screen turned: the window takes the new shape at the scale it had,
    // smaller when that no longer fits the display, centred on where it was
    // and kept on the display.
    void turned() {
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window, &x, &y);
        SDL_GetWindowSize(window, &w, &h);
        const CGSize size = UIScreenRenderer::screenSize();
        const CGFloat k = std::min(scale, fitting(size));
        const int nw = static_cast<int>(std::lround(size.width * k));
        const int nh = static_cast<int>(std::lround(size.height * k));
        const SDL_Rect area = usableArea(window);
        int fw = 0, fh = 0;
        frameExtents(window, fw, fh);
        int nx = x + w / 2 - nw / 2;
        int ny = y + h / 2 - nh / 2;
        nx = std::clamp(nx, area.x + fw / 2, std::max(area.x + fw / 2, area.x + area.w - nw - fw / 2));
        ny = std::clamp(ny, area.y + fh - fh / 4, std::max(area.y + fh - fh / 4, area.y + area.h - nh));
        SDL_SetWindowSize(window, nw, nh);
        SDL_SetWindowPosition(window, nx, ny);
        layOut();
    }

    // The window's own pixels: the rows of `area` (phone screen pixels) of
    // the composited frame copied into the window surface.
    void copyToWindow(SDL_Surface* shown, const SDL_Rect& area) {
        const unsigned char* src = cairo_image_surface_get_data(surface);
        const int srcStride = cairo_image_surface_get_stride(surface);
        src += static_cast<size_t>(area.y) * srcStride + static_cast<size_t>(area.x) * 4;
        auto* dst = static_cast<unsigned char*>(shown->pixels) +
                    static_cast<size_t>(offsetY + area.y) * shown->pitch +
                    static_cast<size_t>(offsetX + area.x) * shown->format->BytesPerPixel;
        const SDL_PixelFormat* f = shown->format;
        // Cairo's opaque pixels are the window's own where the window keeps
        // 32-bit x/a-R-G-B (X's usual 24-bit visual): a row is one copy.
        if (f->BytesPerPixel == 4 && f->Rmask == 0xff0000 && f->Gmask == 0xff00 &&
            f->Bmask == 0xff) {
            for (int y = 0; y < area.h; ++y)
                std::memcpy(dst + static_cast<size_t>(y) * shown->pitch,
                            src + static_cast<size_t>(y) * srcStride,
                            static_cast<size_t>(area.w) * 4);
            return;
        }
        SDL_ConvertPixels(area.w, area.h, SDL_PIXELFORMAT_ARGB8888, src, srcStride, f->format, dst,
                          shown->pitch);
    }

    // Composites what changed into the kept frame and puts those pixels, and
    // only those, on the display. Returns false when nothing changed (no
    // work was done).
    bool drawIfNeeded() {
        const bool compose = forceFrame || UIScreenRenderer::needsFrame();
        if (!compose && !showAll) return false;
        UIScreenRenderer::Frame frame;
        if (compose) {
            CGSize size = UIScreenRenderer::screenSize();
            if (size.width != shownPoints.width || size.height != shownPoints.height) turned();
            if (forceFrame) UIScreenRenderer::setNeedsDisplayScreen();
            forceFrame = false;
            if (shared) shared->finishPut();
            cairo_t* cr = frameContext();
            cairo_save(cr);
            frame = UIScreenRenderer::composite(cr, size, scale);
            cairo_restore(cr);
            cairo_new_path(cr);
            // A context that went wrong is not kept: the next frame gets a
            // new one, as every frame once did.
            if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) dropContext();
            cairo_surface_flush(surface);
        }
        if (frame.damage.empty() && !showAll) return false;
        if (shared) {
            showShared(frame);
        } else if (!showOnWindowSurface(frame)) {
            return false;
        }
        lastShown = std::chrono::steady_clock::now();
        ++frames;
        lastFrame = std::move(frame);
        return true;
    }

    // The composited areas lie on the pixel grid already: the phone screen
    // pixels of each, clipped to the screen, and their sum (in a list kept
    // from frame to frame, not one made a frame).
    std::vector<SDL_Rect>& damagedPixels(const UIScreenRenderer::Frame& frame) {
        std::vector<SDL_Rect>& areas = pixelAreas;
        areas.clear();
        pixelsShown = 0;
        for (const CGRect& r : frame.damage) {
            SDL_Rect px;
            px.x = std::clamp(static_cast<int>(std::lround(r.origin.x * scale)), 0, pixelW);
            px.y = std::clamp(static_cast<int>(std::lround(r.origin.y * scale)), 0, pixelH);
            px.w = std::clamp(static_cast<int>(std::lround(CGRectGetMaxX(r) * scale)), 0, pixelW) -
                   px.x;
            px.h = std::clamp(static_cast<int>(std::lround(CGRectGetMaxY(r) * scale)), 0, pixelH) -
                   px.y;
            if (px.w <= 0 || px.h <= 0) continue;
            areas.push_back(px);
            pixelsShown += static_cast<long>(px.w) * px.h;
        }
        return areas;
    }

    void showShared(const UIScreenRenderer::Frame& frame) {
        if (showAll) {
            shared->putAll(windowW, windowH, offsetX, offsetY);
            pixelsShown = static_cast<long>(windowW) * windowH;
            showAll = false;
            return;
        }
        const std::vector<SDL_Rect>& areas = damagedPixels(frame);
        shared->put(areas.data(), areas.size(), offsetX, offsetY);
    }

    // Through SDL's window surface: the changed pixels copied into it, and
    // SDL puts them on the display. False when the window has none.
    bool showOnWindowSurface(const UIScreenRenderer::Frame& frame) {
        SDL_Surface* shown = SDL_GetWindowSurface(window);
        if (!shown || shown->w < offsetX + pixelW || shown->h < offsetY + pixelH) {
            if (!loggedNoSurface)
                platform::log(std::string("UI: the window has no surface to draw on: ") +
                              SDL_GetError());
            loggedNoSurface = true;
            return false;
        }
        if (SDL_MUSTLOCK(shown)) SDL_LockSurface(shown);
        if (showAll) {
            SDL_FillRect(shown, nullptr, SDL_MapRGB(shown->format, 0, 0, 0));
            copyToWindow(shown, {0, 0, pixelW, pixelH});
            if (SDL_MUSTLOCK(shown)) SDL_UnlockSurface(shown);
            SDL_UpdateWindowSurface(window);
            pixelsShown = static_cast<long>(shown->w) * shown->h;
            showAll = false;
        } else {
            std::vector<SDL_Rect>& areas = damagedPixels(frame);
            for (SDL_Rect& px : areas) {
                copyToWindow(shown, px);
                px.x += offsetX;
                px.y += offsetY;
            }
            if (SDL_MUSTLOCK(shown)) SDL_UnlockSurface(shown);
            if (!areas.empty())
                SDL_UpdateWindowSurfaceRects(window, areas.data(), static_cast<int>(areas.size()));
        }
        return true;
    }

    CGPoint toPoints(int x, int y) const {
        // Mouse positions are in window coordinates, which may differ from
        // the drawable's pixels on a high-density display.
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        const double kx = w > 0 ? static_cast<double>(windowW) / w : 1;
        const double ky = h > 0 ? static_cast<double>(windowH) / h : 1;
        return {(x * kx - offsetX) / scale, (y * ky - offsetY) / scale};
    }

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

    // The field the keyboard types into: none while a window of a higher
    // level (an alert) has taken the keys over it, as on the phone, where
    // the alert covers the keyboard; else Return meant to close the alert
    // would send the form behind it again.
    static UIResponder* typingResponder() {
        UIResponder* r = UIResponder::currentFirstResponder();
        if (!r || !r->acceptsTextInput()) return nullptr;
        const auto* view = dynamic_cast<const UIView*>(r);
        const UIWindow* own = view ? view->window() : nullptr;
        const UIWindow* key = UIWindow::keyWindow();
        if (own && key && key != own && !key->isHidden() && key->windowLevel() > own->windowLevel())
            return nullptr;
        return r;
    }

    void key(const SDL_KeyboardEvent& e) {
        UIResponder* r = typingResponder();
        switch (e.keysym.sym) {
            case SDLK_BACKSPACE:
                if (r) r->deleteBackward();
                break;
            case SDLK_RETURN:
            case SDLK_KP_ENTER:
                if (r) r->insertText("\n");
                break;
            case SDLK_TAB:
                if (r) UIKeyboard::tabToField(!(e.keysym.mod & KMOD_SHIFT));
                break;
            case SDLK_ESCAPE:
                if (r) UIKeyboard::endEditing();
                break;
            case SDLK_F1:
                // One shake, one turn a press: the desktop's key repeat
                // while the key stays down would shake again and again, and
                // turn the screen back and forth to either shape.
                if (!e.repeat) TouchInput::shake();
                break;
            case SDLK_F2: {
                if (e.repeat) break;
                // The window follows at the next frame, when the screen has
                // turned.
                auto& device = UIDevice::currentDevice();
                device.setOrientation(UIDeviceOrientationIsLandscape(device.orientation())
                                          ? UIDeviceOrientation::Portrait
                                          : UIDeviceOrientation::LandscapeLeft);
                forceFrame = true;
                break;
            }
            default:
                break;
        }
    }

    void text(const char* typed) {
        UIResponder* r = typingResponder();
        if (!r) return;
        // Only what the phone's keys could type: a pad takes digits alone.
        if (!UIKeyboard::shared().keysCanType(typed)) return;
        r->insertText(typed);
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
            case SDL_QUIT:
                RunLoop::main().stop();
                break;
            case SDL_WINDOWEVENT:
                // The display lost what the window showed: put it all back
                // (the frame is kept; nothing is composited again).
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED) showAll = true;
                if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) layOut();
                // Minimised or taken off the display (another workspace)
                // with the button held, the window loses the pointer: the
                // button's release goes elsewhere and never comes. So it
                // does when another window takes the focus meanwhile (a
                // switch of windows by the keyboard, whose switcher holds the
                // pointer). The finger is called off, as the phone calls off
                // a touch the system interrupts, rather than left down to
                // drag under a pointer that no longer holds a button.
                if ((e.window.event == SDL_WINDOWEVENT_HIDDEN ||
                     e.window.event == SDL_WINDOWEVENT_MINIMIZED ||
                     e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) &&
                    mouseDown) {
                    mouseDown = false;
                    TouchInput::touchCancel(kMouseFinger);
                }
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
            case SDL_TEXTINPUT:
                text(e.text.text);
                break;
            case SDL_KEYDOWN:
                key(e.key);
                break;
            case SDL_DROPFILE:
            case SDL_DROPTEXT:
                // A file or text dragged onto the window: the phone's screen
                // takes no drops, and the name or text SDL made for it is
                // the receiver's to free.
                SDL_free(e.drop.file);
                break;
            default:
                break;
        }
    }

    // The run loop's idle wait: draw what changed, then sleep in the event
    // queue until input, a wake-up, the next timer or the next frame of a
    // running animation.
    // Only an animation on screen paces frames: one in a hidden window or a
    // removed view asks for nothing.
    double waitLimit(double maxSeconds) const {
        if (!UIScreenRenderer::animatesOnScreen()) return maxSeconds;
        return maxSeconds < 0 ? kFrameInterval : std::min(maxSeconds, kFrameInterval);
    }

    // What the display has sent, read from its connection: the next event,
    // if any.
    int nextEvent(SDL_Event& e) {
        // Anything that reads the connection from here on sends a request
        // first, or is this read.
        if (xDisplay) quietFrom = NextRequest(xDisplay);
        lastRead = lastShown;
        SDL_PumpEvents();
        ++displayReads;
        return queuedEvent(e);
    }

    // Whether SDL's connection may hold, already read from the socket, what
    // the display sent: then the wait must take it before it sleeps, as the
    // poll sees only the socket. Nothing but SDL's own calls reads it, and
    // those that do outside the event pump wait for the server's answer to a
    // request: with no request since the last pump and nothing queued, all
    // that came is still in the socket. (A frame does not touch the
    // connection: a pump a frame would be a few reads that find nothing.)
    // SDL's upkeep in its pump (it keeps the screen saver away) still runs
    // at its pace while frames go on (timed by the frames' own clock
    // readings). Xlib's own fields, read without its lock or a call: this
    // runs before every sleep, where a locked call costs microseconds with
    // the caches cold.
    bool displayMayHoldEvents() const {
        if (!xDisplay) return true;
        if (NextRequest(xDisplay) != quietFrom || QLength(xDisplay) > 0) return true;
        return lastShown - lastRead >= std::chrono::seconds(kUpkeepSeconds);
    }
    static int queuedEvent(SDL_Event& e) {
        return SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
    }

    // The application's idle-timer switch (the keep-awake setting) decides
    // whether the desktop may blank and lock its screen while the window is
    // open: SDL keeps the screen saver away from its start, setting or not.
    // Looked at before each sleep: the switch changes only in what the run
    // loop has just run.
    void followIdleTimer() {
        const int hold = UIApplication::sharedApplication().isIdleTimerDisabled() ? 1 : 0;
        if (hold == screenSaverHeld) return;
        screenSaverHeld = hold;
        if (hold)
            SDL_DisableScreenSaver();
        else
            SDL_EnableScreenSaver();
    }

    // Frames follow the display's pace: what changes sooner after the last
    // frame (quotes arriving faster than the display shows them) waits for
    // the next one and is drawn with it. So do the tasks posted meanwhile
    // (more quotes): run together when the frame is due, just before it is
    // drawn, rather than each waking the loop only to wait again.
    void wait(double maxSeconds) {
        followIdleTimer();
        double limit = waitLimit(maxSeconds);
        bool framePending = false;
        if (forceFrame || showAll || UIScreenRenderer::needsFrame()) {
            const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                               lastShown)
                                     .count();
            if (since >= kFrameInterval || since < 0) {
                drawIfNeeded();
                limit = waitLimit(maxSeconds);
            } else {
                const double until = kFrameInterval - since;
                limit = limit < 0 ? until : std::min(limit, until);
                framePending = true;
            }
        }
        SDL_Event e;
        int got;
        // The next timer may lie further ahead than an int of milliseconds
        // reaches (24.8 days; a spinner's end is a billion seconds away):
        // the wait is then as long as an int allows, and is cut short by
        // whatever comes first all the same.
        int ms = -1;
        if (limit >= 0) {
            const double wanted = std::ceil(limit * 1000);
            ms = wanted >= INT_MAX ? INT_MAX : std::max(1, static_cast<int>(wanted));
        }
        if (displayFd >= 0) {
            got = displayMayHoldEvents() ? nextEvent(e) : queuedEvent(e);
            if (!got) {
                pollfd fds[2] = {{displayFd, POLLIN, 0},
                                 {wakeFd, static_cast<short>(framePending ? 0 : POLLIN), 0}};
                poll(fds, 2, ms);
                // A wake-up asked for while the frame was awaited is spent
                // now: its tasks run when this returns.
                if ((fds[1].revents & POLLIN) || framePending) {
                    uint64_t count = 0;
                    [[maybe_unused]] const ssize_t n = read(wakeFd, &count, sizeof count);
                }
                // Woken for a task (a quote) or a timer with nothing from the
                // display: nothing has read from it while the wait slept, so
                // reading it again finds nothing. (The signals that end the
                // application come as tasks too.) What SDL's other threads
                // queued meanwhile is taken before the next sleep.
                const bool displaySent = fds[0].revents != 0;
                got = displaySent || displayMayHoldEvents() ? nextEvent(e) : 0;
            }
        } else {
            got = ms < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, ms);
        }
        ++wakeUps;
        // A task posted before this is run when the wait returns; one
        // posted after queues a wake-up of its own.
        wakePending.store(false);
        if (!got) return;
        // What the wait took from the display is queued: taken without
        // asking the display again.
        do {
            if (e.type != wakeEvent) handle(e);
        } while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0);
    }
};

bool DesktopWindow::displayAvailable() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    // SDL's dummy driver stands in for a display in tests.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const bool dummy = driver && std::string(driver) == "dummy";
    if ((!x || !*x) && (!w || !*w) && !dummy) return false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    return true;
}

DesktopWindow::DesktopWindow(CGFloat scale) : impl_(std::make_unique<Impl>()) {
    impl_->screenScaleFound = UIScreen::mainScreen().scale();
    if (!displayAvailable()) {
        platform::log("UI: no display; running headless");
        return;
    }
    // On X the window's surface is X's own shared image, and only the
    // changed areas are put: SDL's default there, a texture of the whole
    // window drawn through OpenGL at every update, costs a full-window draw
    // per changed row (all on the CPU where OpenGL is software).
    if (std::string(SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "") == "x11")
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const CGSize size = UIScreenRenderer::screenSize();
    const CGFloat k = scale > 0 ? scale : impl_->fitting(size);
    impl_->scale = k;
    impl_->window = SDL_CreateWindow("KAV Trader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     static_cast<int>(std::lround(size.width * k)),
                                     static_cast<int>(std::lround(size.height * k)),
                                     SDL_WINDOW_RESIZABLE);
    if (!impl_->window) {
        platform::log(std::string("UI: cannot open a window: ") + SDL_GetError());
        return;
    }
    // Small enough for any display, large enough to hit a button.
    SDL_SetWindowMinimumSize(impl_->window, static_cast<int>(size.width / 4),
                             static_cast<int>(size.height / 4));
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(impl_->window, &info) && info.subsystem == SDL_SYSWM_X11 &&
        info.info.x11.display) {
        const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd >= 0) {
            impl_->displayFd = XConnectionNumber(info.info.x11.display);
            impl_->wakeFd = wakeFd;
            impl_->xDisplay = info.info.x11.display;
        }
        std::string why;
        impl_->shared = SharedImage::open(info.info.x11.display, info.info.x11.window, why);
        if (!impl_->shared) platform::log("UI: frames go through SDL's window surface: " + why);
    }
    impl_->layOut();
    impl_->wakeEvent = SDL_RegisterEvents(1);
    impl_->open = true;
    SDL_StartTextInput();
    UIApplication::sharedApplication().setURLOpener(openOnDesktop);
    Impl* impl = impl_.get();
    const Uint32 wake = impl_->wakeEvent;
    RunLoop::main().setWaitHooks([impl](double max) { impl->wait(max); },
                                 [impl, wake] {
                                     if (impl->wakePending.exchange(true)) return;
                                     if (impl->wakeFd >= 0) {
                                         const uint64_t one = 1;
                                         [[maybe_unused]] const ssize_t n =
                                             write(impl->wakeFd, &one, sizeof one);
                                         return;
                                     }
                                     SDL_Event e{};
                                     e.type = wake;
                                     SDL_PushEvent(&e);
                                 });
}

DesktopWindow::~DesktopWindow() {
    UIScreen::mainScreen().setScale(impl_->screenScaleFound);
    if (impl_->open) {
        RunLoop::main().setWaitHooks(nullptr, nullptr);
        UIApplication::sharedApplication().setURLOpener(nullptr);
    }
    impl_->releaseSurface();
    impl_->shared.reset();
    if (impl_->wakeFd >= 0) close(impl_->wakeFd);
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

unsigned long DesktopWindow::wakeUps() const {
    return impl_->wakeUps;
}

unsigned long DesktopWindow::displayReads() const {
    return impl_->displayReads;
}

unsigned long DesktopWindow::sharedImageWrites() const {
    return impl_->shared ? impl_->shared->writes() : 0;
}

unsigned long DesktopWindow::sharedImageReads() const {
    return impl_->shared ? impl_->shared->reads() : 0;
}

CGFloat DesktopWindow::scale() const {
    return impl_->scale;
}

CGRect DesktopWindow::shownArea() const {
    return CGRectMake(impl_->offsetX, impl_->offsetY, impl_->pixelW, impl_->pixelH);
}

void DesktopWindow::setWindowSize(int width, int height) {
    if (!impl_->open) return;
    SDL_SetWindowSize(impl_->window, width, height);
    impl_->layOut();
}

void DesktopWindow::handleEvent(const SDL_Event& event) {
    if (impl_->open) impl_->handle(event);
}

double DesktopWindow::waitLimit(double maxSeconds) const {
    return impl_->waitLimit(maxSeconds);
}

bool DesktopWindow::drawFrameIfNeeded() {
    return impl_->open && impl_->drawIfNeeded();
}

const UIScreenRenderer::Frame& DesktopWindow::lastFrame() const {
    return impl_->lastFrame;
}

bool DesktopWindow::showsThroughSharedImage() const {
    return impl_->shared != nullptr;
}

UIImagePtr DesktopWindow::shownImage(bool wholeWindow) const {
    if (impl_->shared) {
        // What was put last: the shared image, black around it.
        const Impl& d = *impl_;
        const int w = wholeWindow ? d.windowW : d.pixelW;
        const int h = wholeWindow ? d.windowH : d.pixelH;
        const int x0 = wholeWindow ? d.offsetX : 0;
        const int y0 = wholeWindow ? d.offsetY : 0;
        cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_surface_flush(copy);
        auto* dst = cairo_image_surface_get_data(copy);
        const int stride = cairo_image_surface_get_stride(copy);
        const auto* src = cairo_image_surface_get_data(d.surface);
        const int srcStride = cairo_image_surface_get_stride(d.surface);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * stride);
            const int sy = y - y0;
            for (int x = 0; x < w; ++x) {
                const int sx = x - x0;
                uint32_t p = 0;
                if (sy >= 0 && sy < d.pixelH && sx >= 0 && sx < d.pixelW)
                    std::memcpy(&p, src + static_cast<size_t>(sy) * srcStride + sx * 4, 4);
                // What a window shows is opaque, whatever the image keeps in
                // the fourth byte.
                row[x] = p | 0xff000000u;
            }
        }
        cairo_surface_mark_dirty(copy);
        auto image = std::make_shared<UIImage>(copy, d.scale);
        cairo_surface_destroy(copy);
        return image;
    }
    SDL_Surface* shown = impl_->open ? SDL_GetWindowSurface(impl_->window) : nullptr;
    if (!shown) return nullptr;
    const SDL_Rect area = wholeWindow ? SDL_Rect{0, 0, shown->w, shown->h}
                                      : SDL_Rect{impl_->offsetX, impl_->offsetY, impl_->pixelW,
                                                 impl_->pixelH};
    if (area.x < 0 || area.y < 0 || area.x + area.w > shown->w || area.y + area.h > shown->h)
        return nullptr;
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.w, area.h);
    cairo_surface_flush(copy);
    auto* dst = cairo_image_surface_get_data(copy);
    const int stride = cairo_image_surface_get_stride(copy);
    if (SDL_MUSTLOCK(shown)) SDL_LockSurface(shown);
    const auto* src = static_cast<const unsigned char*>(shown->pixels) +
                      static_cast<size_t>(area.y) * shown->pitch +
                      static_cast<size_t>(area.x) * shown->format->BytesPerPixel;
    SDL_ConvertPixels(area.w, area.h, shown->format->format, src, shown->pitch,
                      SDL_PIXELFORMAT_ARGB8888, dst, stride);
    if (SDL_MUSTLOCK(shown)) SDL_UnlockSurface(shown);
    // What a window shows is opaque, whatever its surface keeps in the
    // fourth byte.
    for (int y = 0; y < area.h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * stride);
        for (int x = 0; x < area.w; ++x)
            row[x] |= 0xff000000u;
    }
    cairo_surface_mark_dirty(copy);
    auto image = std::make_shared<UIImage>(copy, impl_->scale);
    cairo_surface_destroy(copy);
    return image;
}

long DesktopWindow::pixelsShownLastFrame() const {
    return impl_->pixelsShown;
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
