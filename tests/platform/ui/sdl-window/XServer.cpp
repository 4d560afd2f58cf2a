#include "tests/platform/ui/sdl-window/XServer.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include "platform/Files.h"

extern char** environ;

namespace kavtest {

namespace {
::Display* asDisplay(void* d) {
    return static_cast<::Display*>(d);
}
// A window asked about may be gone by then; the failed request's own result
// says so, where Xlib's default handler would end the test process.
int ignoreError(::Display*, XErrorEvent*) {
    return 0;
}
}  // namespace

std::unique_ptr<XServer> XServer::start(const std::string& screen,
                                        const std::vector<std::string>& arguments) {
    const auto xvfb = platform::files::programOnPath("Xvfb");
    if (!xvfb) return nullptr;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
    // The server writes its display number to the pipe's write end, kept
    // open in it under the number passed.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 9);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv{*xvfb, "-displayfd",   "9",         "-screen",
                                  "0",   screen + "x24", "-nolisten", "tcp"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, xvfb->c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return nullptr;
    }
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    ::Display* connection = number.empty() ? nullptr : XOpenDisplay((":" + number).c_str());
    if (!connection) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return nullptr;
    }
    XSetErrorHandler(ignoreError);
    return std::unique_ptr<XServer>(new XServer(pid, ":" + number, connection));
}

XServer::~XServer() {
    XCloseDisplay(asDisplay(connection_));
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

unsigned long XServer::findWindow(const std::string& title) {
    ::Display* d = asDisplay(connection_);
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
    ::Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name) {
            if (title == name) found = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

bool XServer::resizeWindow(const std::string& title, int width, int height) {
    ::Display* d = asDisplay(connection_);
    const ::Window found = findWindow(title);
    if (!found) return false;
    XResizeWindow(d, found, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(d, False);
    return true;
}

void XServer::pause() {
    kill(pid_, SIGSTOP);
}

void XServer::resume() {
    kill(pid_, SIGCONT);
}

void XServer::roundTripOnSDLsConnection() {
    SDL_Window* window = SDL_GetWindowFromID(1);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        XSync(info.info.x11.display, False);
}

platform::ui::UIImagePtr XServer::windowPixels(const std::string& title) {
    ::Display* d = asDisplay(connection_);
    const ::Window found = findWindow(title);
    XWindowAttributes attributes;
    if (!found || !XGetWindowAttributes(d, found, &attributes)) return nullptr;
    XImage* image = XGetImage(d, found, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return nullptr;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, attributes.width, attributes.height);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < attributes.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
        // A 24-bit x-R-G-B screen, as Xvfb's is.
        for (int x = 0; x < attributes.width; ++x)
            row[x] = static_cast<uint32_t>(XGetPixel(image, x, y) & 0xffffff) | 0xff000000u;
    }
    cairo_surface_mark_dirty(surface);
    XDestroyImage(image);
    auto shot = std::make_shared<platform::ui::UIImage>(surface, 1.0);
    cairo_surface_destroy(surface);
    return shot;
}

}  // namespace kavtest
