#include "platform/camera/CaptureDevice.h"

#include <cairo.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "platform/Log.h"
#include "platform/Strings.h"

namespace platform::camera {

namespace {

namespace fs = std::filesystem;

// Folders up to this many pictures are kept decoded; longer ones are read
// frame by frame so a long recording does not fill the memory.
constexpr size_t kCachedFrames = 32;

bool isPictureFile(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".png" || ext == ".jpg" || ext == ".jpeg";
}

double rateFromEnvironment(double fallback) {
    const char* text = std::getenv(kCameraRateVariable);
    if (!text || !*text) return fallback;
    const double rate = platform::leadingDouble(text);
    if (!(rate >= 0.5 && rate <= 60)) {
        platform::log(platform::stringf("摄像头帧率无效（%s），使用 %.0f", text, fallback));
        return fallback;
    }
    return rate;
}

// True when the node is a V4L2 device that captures video (a camera's
// metadata node is not one).
bool isCaptureDevice(const std::string& node) {
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    v4l2_capability caps{};
    const bool ok = ::ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0;
    ::close(fd);
    if (!ok) return false;
    const uint32_t kinds =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    return (kinds & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
}

platform::ui::UIImagePtr imageFromBitmap(const platform::image::Bitmap& bitmap) {
    cairo_surface_t* surface = cairo_image_surface_create(
        bitmap.opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride,
                    bitmap.pixels.data() + static_cast<size_t>(y) * bitmap.width,
                    static_cast<size_t>(bitmap.width) * 4);
    cairo_surface_mark_dirty(surface);
    auto image = std::make_shared<platform::ui::UIImage>(surface, 1);
    cairo_surface_destroy(surface);  // the image holds its own reference
    return image;
}

}  // namespace

std::shared_ptr<AVCaptureDevice> AVCaptureDevice::defaultDeviceWithMediaType(
    const std::string& mediaType) {
    if (mediaType != AVMediaTypeVideo) return nullptr;
    const char* source = std::getenv(kCameraSourceVariable);
    if (!source || !*source) {
        const char* pipeline = std::getenv(kCameraPipelineVariable);
        if (pipeline && *pipeline)
            return deviceWithSourceDescription(pipeline, rateFromEnvironment(kDefaultStreamRate));
        const char* named = std::getenv(kCameraDeviceVariable);
        const std::string node = named && *named ? std::string(named) : firstCaptureDeviceNode();
        if (node.empty()) return nullptr;
        auto device = deviceWithNode(node, rateFromEnvironment(kDefaultStreamRate));
        if (!device) platform::log(platform::stringf("摄像头设备无效：%s", node.c_str()));
        return device;
    }
    const fs::path path(source);
    std::error_code ec;
    std::vector<fs::path> frames;
    if (fs::is_directory(path, ec)) {
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            if (entry.is_regular_file(ec) && isPictureFile(entry.path()))
                frames.push_back(entry.path());
        }
        std::sort(frames.begin(), frames.end());
    } else if (fs::is_regular_file(path, ec)) {
        frames.push_back(path);
    }
    if (frames.empty()) {
        platform::log(platform::stringf("摄像头画面来源无效：%s", source));
        return nullptr;
    }
    return deviceWithFrames(std::move(frames), rateFromEnvironment(kDefaultFrameRate));
}

std::string AVCaptureDevice::firstCaptureDeviceNode() {
    std::vector<std::pair<long, std::string>> nodes;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= 5 || name.compare(0, 5, "video") != 0) continue;
        if (name.find_first_not_of("0123456789", 5) != std::string::npos) continue;
        nodes.emplace_back(std::strtol(name.c_str() + 5, nullptr, 10), entry.path().string());
    }
    std::sort(nodes.begin(), nodes.end());
    for (const auto& [number, node] : nodes)
        if (isCaptureDevice(node)) return node;
    return {};
}

std::shared_ptr<AVCaptureDevice> AVCaptureDevice::deviceWithNode(const std::string& node,
                                                                 double frameRate) {
    if (!(frameRate > 0) || !isCaptureDevice(node)) return nullptr;
    auto stream = StreamCapture::forDevice(node);
    if (!stream) return nullptr;
    return std::make_shared<AVCaptureDevice>(std::move(stream), "v4l2:" + node, "Camera " + node,
                                             frameRate);
}

std::shared_ptr<AVCaptureDevice> AVCaptureDevice::deviceWithSourceDescription(
    const std::string& description, double frameRate) {
    if (!(frameRate > 0)) return nullptr;
    auto stream = StreamCapture::forDescription(description);
    if (!stream) return nullptr;
    return std::make_shared<AVCaptureDevice>(std::move(stream), "gst:" + description,
                                             "GStreamer source", frameRate);
}

std::shared_ptr<AVCaptureDevice> AVCaptureDevice::deviceWithFrames(
    std::vector<std::filesystem::path> frames, double frameRate) {
    if (frames.empty() || !(frameRate > 0)) return nullptr;
    return std::make_shared<AVCaptureDevice>(std::move(frames), frameRate);
}

AVCaptureDevice::AVCaptureDevice(std::vector<std::filesystem::path> frames, double frameRate)
    : frames_(std::move(frames)), frameRate_(frameRate) {
    uniqueID_ =
        "file:" + (frames_.empty() ? std::string() : frames_.front().parent_path().string());
    localizedName_ = "Picture-file camera";
}

AVCaptureDevice::AVCaptureDevice(std::shared_ptr<StreamCapture> stream, std::string uniqueID,
                                 std::string localizedName, double frameRate)
    : stream_(std::move(stream)),
      frameRate_(frameRate),
      uniqueID_(std::move(uniqueID)),
      localizedName_(std::move(localizedName)) {}

std::shared_ptr<const CapturedFrame> AVCaptureDevice::captureFrame(size_t index) {
    if (stream_) return stream_->takeFrame();
    if (frames_.empty()) return nullptr;
    index %= frames_.size();
    const bool keep = frames_.size() <= kCachedFrames;
    if (keep) {
        std::lock_guard lock(mutex_);
        if (auto found = cache_.find(index); found != cache_.end()) return found->second;
    }
    std::shared_ptr<CapturedFrame> frame;
    if (auto bytes = platform::files::readFile(frames_[index])) {
        if (auto bitmap = platform::image::decode(*bytes)) {
            if (auto image = imageFromBitmap(*bitmap)) {
                frame = std::make_shared<CapturedFrame>();
                frame->image = std::move(image);
                frame->width = bitmap->width;
                frame->height = bitmap->height;
                frame->codes = decodeQRCodes(*bitmap);
            }
        }
    }
    // Logged once for a kept folder: the miss is kept too.
    if (!frame) platform::log(platform::stringf("摄像头画面无法读取：%s", frames_[index].c_str()));
    if (keep) {
        std::lock_guard lock(mutex_);
        cache_.emplace(index, frame);
    }
    return frame;
}

std::shared_ptr<AVCaptureDeviceInput> AVCaptureDeviceInput::deviceInputWithDevice(
    const std::shared_ptr<AVCaptureDevice>& device, platform::Error* error) {
    if (!device) {
        if (error)
            *error = platform::Error(kCameraErrorDomain, kCameraErrorNoDevice, "没有可用的摄像头");
        return nullptr;
    }
    return std::make_shared<AVCaptureDeviceInput>(device);
}

}  // namespace platform::camera
