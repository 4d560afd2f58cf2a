#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/camera/QRDecoder.h"
#include "platform/camera/StreamCapture.h"
#include "platform/ui/Image.h"

namespace platform::camera {

// Media types a device can capture.
inline constexpr const char* AVMediaTypeVideo = "vide";

// Where the camera's pictures come from: a PNG or JPEG file (shown as a
// still scene), or a folder whose PNG and JPEG files are played in name
// order, over and over, at a steady rate.
inline constexpr const char* kCameraSourceVariable = "KAV_CAMERA";
// Frames per second (default 10; from 0.5 to 60).
inline constexpr const char* kCameraRateVariable = "KAV_CAMERA_RATE";
inline constexpr double kDefaultFrameRate = 10;
// How often the newest picture of a live camera is taken by default (the
// same variable sets it).
inline constexpr double kDefaultStreamRate = 25;

// The machine's camera, when no pictures are named: the V4L2 device node
// this names (/dev/videoN), else the first video capture device.
inline constexpr const char* kCameraDeviceVariable = "KAV_CAMERA_DEVICE";
// For tests: a GStreamer source put in the camera device's place, written as
// on a GStreamer command line (e.g. "videotestsrc is-live=true", or
// "multifilesrc location=DIR/frame%d.png loop=true caps=image/png,framerate=10/1
// ! pngdec"); its pictures take the device's whole way through conversion,
// the application sink and the session. Ignored when KAV_CAMERA is set.
inline constexpr const char* kCameraPipelineVariable = "KAV_CAMERA_PIPELINE";

// Errors of the camera layer.
inline constexpr const char* kCameraErrorDomain = "CameraErrorDomain";
inline constexpr long kCameraErrorNoDevice = 1;
inline constexpr long kCameraErrorDeviceBusy = 2;
inline constexpr long kCameraErrorFormatRefused = 3;
inline constexpr long kCameraErrorDeviceGone = 4;
inline constexpr long kCameraErrorCannotOpen = 5;
inline constexpr long kCameraErrorStreamFailed = 6;
// What the errors of a running camera say.
inline constexpr const char* kCameraBusyMessage = "摄像头正被其他程序使用。";
inline constexpr const char* kCameraFormatMessage = "摄像头不支持所需的画面格式。";
inline constexpr const char* kCameraGoneMessage = "摄像头已断开。";
inline constexpr const char* kCameraCannotOpenMessage = "摄像头无法打开。";
inline constexpr const char* kCameraFailedMessage = "摄像头出错：%s";

// One captured picture and the QR codes found in it.
struct CapturedFrame {
    platform::ui::UIImagePtr image;
    int width = 0;
    int height = 0;
    std::vector<DecodedCode> codes;
};

// A camera: picture files, or a live stream (the machine's camera through
// GStreamer). Reading a picture also decodes the QR codes in it. Devices are
// shared by the sessions that use them.
class AVCaptureDevice {
  public:
    // The camera for video, chosen afresh on every call: the pictures
    // $KAV_CAMERA names when it is set (null when it names nothing, or a
    // folder without pictures); else the test source $KAV_CAMERA_PIPELINE;
    // else the device $KAV_CAMERA_DEVICE names, or the first video capture
    // device. Null when there is none (a machine without a camera).
    static std::shared_ptr<AVCaptureDevice> defaultDeviceWithMediaType(
        const std::string& mediaType);
    // A camera playing these picture files in order at `frameRate` frames per
    // second; null without files or with a rate that is not positive.
    static std::shared_ptr<AVCaptureDevice> deviceWithFrames(
        std::vector<std::filesystem::path> frames, double frameRate = kDefaultFrameRate);
    // The V4L2 camera at this device node, its newest picture taken
    // `frameRate` times a second; null when the node is no video capture
    // device or GStreamer is missing.
    static std::shared_ptr<AVCaptureDevice> deviceWithNode(const std::string& node,
                                                           double frameRate = kDefaultStreamRate);
    // A stream from a GStreamer source description (see
    // kCameraPipelineVariable); null when it is empty or GStreamer is missing.
    static std::shared_ptr<AVCaptureDevice> deviceWithSourceDescription(
        const std::string& description, double frameRate = kDefaultStreamRate);
    // The first video capture device node in /dev (by number), or "".
    static std::string firstCaptureDeviceNode();

    AVCaptureDevice(std::vector<std::filesystem::path> frames, double frameRate);
    AVCaptureDevice(std::shared_ptr<StreamCapture> stream, std::string uniqueID,
                    std::string localizedName, double frameRate);

    bool hasMediaType(const std::string& mediaType) const { return mediaType == AVMediaTypeVideo; }
    const std::string& uniqueID() const { return uniqueID_; }
    const std::string& localizedName() const { return localizedName_; }
    const std::vector<std::filesystem::path>& frameFiles() const { return frames_; }
    double frameRate() const { return frameRate_; }

    // Reads and scans the picture of frame `index` (taken modulo the number
    // of files). Thread-safe; pictures are read once and kept while the
    // folder is small. Null when the file cannot be read or is no picture.
    // A stream gives its newest picture instead, null when none came since
    // the last call.
    std::shared_ptr<const CapturedFrame> captureFrame(size_t index);

    // The live stream of a camera device; null for picture files.
    const std::shared_ptr<StreamCapture>& stream() const { return stream_; }

  private:
    std::vector<std::filesystem::path> frames_;
    std::shared_ptr<StreamCapture> stream_;
    double frameRate_;
    std::string uniqueID_;
    std::string localizedName_;
    std::mutex mutex_;
    std::map<size_t, std::shared_ptr<const CapturedFrame>> cache_;
};

// The input that connects a device to a session.
class AVCaptureDeviceInput {
  public:
    // Null, with the error filled in when given, for a missing device.
    static std::shared_ptr<AVCaptureDeviceInput> deviceInputWithDevice(
        const std::shared_ptr<AVCaptureDevice>& device, platform::Error* error = nullptr);

    explicit AVCaptureDeviceInput(std::shared_ptr<AVCaptureDevice> device)
        : device_(std::move(device)) {}
    const std::shared_ptr<AVCaptureDevice>& device() const { return device_; }

  private:
    std::shared_ptr<AVCaptureDevice> device_;
};

}  // namespace platform::camera
