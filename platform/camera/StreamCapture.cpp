#include "platform/camera/StreamCapture.h"

#include <cairo.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdint>
#include <cstring>

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/camera/CaptureDevice.h"

namespace platform::camera {

namespace {

// Cairo's ARGB32 layout, byte for byte: the preview draws the picture as it
// comes and the reader scans it in place.
constexpr const char* kPictureFormat = G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRA" : "ARGB";

// One queue for every stream's start and stop (never freed: streams may be
// stopped while the program ends).
platform::dispatch::SerialQueue& streamQueue() {
    static auto* queue = new platform::dispatch::SerialQueue("kav.camera.stream");
    return *queue;
}

bool initialise() {
    static platform::dispatch::OnceFlag flag;
    static bool ready = false;
    platform::dispatch::once(flag, [] {
        GError* error = nullptr;
        ready = gst_init_check(nullptr, nullptr, &error);
        if (!ready) {
            platform::log(
                platform::stringf("GStreamer 无法启动：%s", error ? error->message : "unknown"));
        }
        if (error) g_error_free(error);
    });
    return ready;
}

platform::Error cameraError(long code, std::string description) {
    return platform::Error(kCameraErrorDomain, code, std::move(description));
}

struct SampleDeleter {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};

}  // namespace

platform::Error cameraErrorForStreamFailure(const GError* error, const char* debug) {
    const std::string detail = error && error->message ? error->message : "";
    if (error && error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
            case GST_RESOURCE_ERROR_BUSY:
                return cameraError(kCameraErrorDeviceBusy, kCameraBusyMessage);
            case GST_RESOURCE_ERROR_SETTINGS:
                return cameraError(kCameraErrorFormatRefused, kCameraFormatMessage);
            case GST_RESOURCE_ERROR_NOT_FOUND:
            case GST_RESOURCE_ERROR_OPEN_READ:
            case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
            case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
                return cameraError(kCameraErrorCannotOpen, kCameraCannotOpenMessage);
            case GST_RESOURCE_ERROR_READ:
            case GST_RESOURCE_ERROR_CLOSE:
            case GST_RESOURCE_ERROR_SEEK:
                return cameraError(kCameraErrorDeviceGone, kCameraGoneMessage);
            default:
                break;
        }
    }
    const bool negotiation =
        (error && error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_NEGOTIATION) ||
        (error && error->domain == GST_STREAM_ERROR &&
         (error->code == GST_STREAM_ERROR_FORMAT || error->code == GST_STREAM_ERROR_WRONG_TYPE)) ||
        (debug && std::strstr(debug, "not-negotiated"));
    if (negotiation) return cameraError(kCameraErrorFormatRefused, kCameraFormatMessage);
    return cameraError(kCameraErrorStreamFailed,
                       platform::stringf(kCameraFailedMessage, detail.c_str()));
}

struct StreamCapture::Pipeline {
    StreamCapture* owner = nullptr;
    uint64_t run = 0;
    GstElement* pipeline = nullptr;

    ~Pipeline() {
        if (!pipeline) return;
        gst_element_set_state(pipeline, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline);
    }

    // Runs on the thread that posts: a streaming thread for what goes wrong
    // while pictures flow. Every message is dropped here, so none piles up on
    // a bus that nobody reads.
    static GstBusSyncReply onMessage(GstBus*, GstMessage* message, gpointer data) {
        auto* self = static_cast<Pipeline*>(data);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(message, &error, &debug);
            platform::log(platform::stringf("摄像头画面流出错：%s (%s)",
                                            error ? error->message : "?", debug ? debug : ""));
            self->owner->fail(self->run, cameraErrorForStreamFailure(error, debug));
            if (error) g_error_free(error);
            g_free(debug);
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            // A camera has no end: its stream ends when it is gone.
            self->owner->fail(self->run, cameraError(kCameraErrorDeviceGone, kCameraGoneMessage));
        }
        return GST_BUS_DROP;
    }
};

bool StreamCapture::available() {
    return initialise();
}

void StreamCapture::waitUntilIdle() {
    streamQueue().waitIdle();
}

std::shared_ptr<StreamCapture> StreamCapture::forDevice(std::string devicePath) {
    if (devicePath.empty() || !initialise()) return nullptr;
    return std::shared_ptr<StreamCapture>(new StreamCapture(std::move(devicePath), {}));
}

std::shared_ptr<StreamCapture> StreamCapture::forDescription(std::string description) {
    if (description.empty() || !initialise()) return nullptr;
    return std::shared_ptr<StreamCapture>(new StreamCapture({}, std::move(description)));
}

StreamCapture::StreamCapture(std::string devicePath, std::string description)
    : devicePath_(std::move(devicePath)), description_(std::move(description)) {}

StreamCapture::~StreamCapture() {
    // Queued starts and stops hold the stream, so a pipeline is left here
    // only when the last of them has run; it is torn down on that thread,
    // and what it says while it goes is no failure any more.
    {
        std::lock_guard lock(mutex_);
        ++run_;
        onFailure_ = nullptr;
    }
    if (sink_) gst_object_unref(static_cast<GstElement*>(sink_));
    pipeline_.reset();
}

void StreamCapture::start(FailureHandler onFailure) {
    uint64_t run;
    {
        std::lock_guard lock(mutex_);
        run = ++run_;
        onFailure_ = std::move(onFailure);
    }
    auto self = shared_from_this();
    streamQueue().async([self, run] { self->startNow(run); });
}

void StreamCapture::stop() {
    {
        std::lock_guard lock(mutex_);
        ++run_;
        onFailure_ = nullptr;
        streaming_ = false;
    }
    auto self = shared_from_this();
    streamQueue().async([self] { self->stopNow(); });
}

bool StreamCapture::isStreaming() const {
    std::lock_guard lock(mutex_);
    return streaming_;
}

void StreamCapture::fail(uint64_t run, const platform::Error& error) {
    FailureHandler handler;
    {
        std::lock_guard lock(mutex_);
        if (run != run_ || !onFailure_) return;
        handler = std::move(onFailure_);
        onFailure_ = nullptr;
        streaming_ = false;
    }
    handler(error);
    // A pipeline cannot be stopped from its own streaming thread.
    auto self = shared_from_this();
    streamQueue().async([self, run] {
        bool current;
        {
            std::lock_guard lock(self->mutex_);
            current = run == self->run_;
        }
        if (current) self->stopNow();
    });
}

void StreamCapture::startNow(uint64_t run) {
    {
        std::lock_guard lock(mutex_);
        if (run != run_) return;  // stopped before it could start
    }
    stopNow();  // what an earlier run left

    auto pipeline = std::make_unique<Pipeline>();
    pipeline->owner = this;
    pipeline->run = run;
    GstElement* source = nullptr;
    std::string missing = "GStreamer 组件缺失";
    if (!devicePath_.empty()) {
        source = gst_element_factory_make("v4l2src", "source");
        if (source) g_object_set(source, "device", devicePath_.c_str(), nullptr);
    } else {
        GError* error = nullptr;
        source = gst_parse_bin_from_description(description_.c_str(), TRUE, &error);
        if (error) {
            platform::log(platform::stringf("摄像头画面来源无效：%s（%s）", description_.c_str(),
                                            error->message));
            missing = error->message;
            g_error_free(error);
            if (source) gst_object_unref(gst_object_ref_sink(source));
            source = nullptr;
        }
    }
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", "sink");
    if (!source || !convert || !sink) {
        for (GstElement* element : {source, convert, sink})
            if (element) gst_object_unref(gst_object_ref_sink(element));
        fail(run, cameraError(kCameraErrorStreamFailed,
                              platform::stringf(kCameraFailedMessage, missing.c_str())));
        return;
    }
    pipeline->pipeline = gst_pipeline_new("kav-camera");
    gst_object_ref_sink(pipeline->pipeline);
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, kPictureFormat, nullptr);
    // Only the newest picture waits; older ones are dropped as a camera
    // drops late frames. A source that is not live plays at its own pace.
    g_object_set(sink, "caps", caps, "max-buffers", 1u, "drop", TRUE, "sync", TRUE, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(pipeline->pipeline), source, convert, sink, nullptr);
    // The source is linked unchecked: one that cannot give pictures the
    // conversion takes fails while negotiating, as a camera refusing every
    // format does, rather than here.
    const bool linked =
        gst_element_link_pads_full(source, "src", convert, "sink", GST_PAD_LINK_CHECK_NOTHING) &&
        gst_element_link(convert, sink);
    if (!linked) {
        fail(run, cameraError(kCameraErrorFormatRefused, kCameraFormatMessage));
        return;
    }
    GstBus* bus = gst_element_get_bus(pipeline->pipeline);
    gst_bus_set_sync_handler(bus, &Pipeline::onMessage, pipeline.get(), nullptr);
    gst_object_unref(bus);

    if (gst_element_set_state(pipeline->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The element that refused has said why already; this is for one that did not.
        fail(run, cameraError(kCameraErrorCannotOpen, kCameraCannotOpenMessage));
        return;  // the pipeline is torn down as it goes
    }
    std::lock_guard lock(mutex_);
    // Stopped or failed meanwhile: the pipeline goes now.
    if (run != run_ || !onFailure_) return;
    pipeline_ = std::move(pipeline);
    sink_ = gst_object_ref(sink);
    streaming_ = true;
}

void StreamCapture::stopNow() {
    std::unique_ptr<Pipeline> pipeline;
    void* sink = nullptr;
    {
        std::lock_guard lock(mutex_);
        pipeline = std::move(pipeline_);
        sink = sink_;
        sink_ = nullptr;
    }
    pipeline.reset();  // to the null state: the device is released
    if (sink) gst_object_unref(static_cast<GstElement*>(sink));
}

std::shared_ptr<const CapturedFrame> StreamCapture::takeFrame() {
    GstElement* sink = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!sink_ || !streaming_) return nullptr;
        sink = static_cast<GstElement*>(gst_object_ref(sink_));
    }
    std::unique_ptr<GstSample, SampleDeleter> sample(
        gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 0));
    gst_object_unref(sink);
    if (!sample) return nullptr;

    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample.get());
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) return nullptr;
    GstVideoFrame video;
    if (!gst_video_frame_map(&video, &info, buffer, GST_MAP_READ)) return nullptr;
    const int width = GST_VIDEO_FRAME_WIDTH(&video);
    const int height = GST_VIDEO_FRAME_HEIGHT(&video);
    const auto* pixels = static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&video, 0));
    const auto stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&video, 0));

    std::shared_ptr<CapturedFrame> frame;
    // The picture is copied once, out of the pipeline's buffer (which goes
    // back to the source), and read in place from there. The preview shows
    // it opaque, so it is read opaque: a camera whose fourth byte is
    // padding may leave it at zero, which the conversion passes on as the
    // alpha and which would make the reader see a blank page.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        unsigned char* data = cairo_image_surface_get_data(surface);
        const auto surfaceStride = static_cast<size_t>(cairo_image_surface_get_stride(surface));
        for (int y = 0; y < height; ++y) {
            const auto* from = pixels + static_cast<size_t>(y) * stride;
            auto* to = data + static_cast<size_t>(y) * surfaceStride;
            for (int x = 0; x < width; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, from + static_cast<size_t>(x) * 4, sizeof pixel);
                pixel |= 0xFF000000u;
                std::memcpy(to + static_cast<size_t>(x) * 4, &pixel, sizeof pixel);
            }
        }
        cairo_surface_mark_dirty(surface);
        frame = std::make_shared<CapturedFrame>();
        frame->image = std::make_shared<platform::ui::UIImage>(surface, 1);
        frame->width = width;
        frame->height = height;
        frame->codes = decodeQRCodes(data, width, height, surfaceStride);
    }
    cairo_surface_destroy(surface);  // the image holds its own reference
    gst_video_frame_unmap(&video);
    return frame;
}

}  // namespace platform::camera
