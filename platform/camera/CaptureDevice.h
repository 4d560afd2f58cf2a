#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/camera/QRDecoder.h"
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

// Errors of the camera layer.
inline constexpr const char* kCameraErrorDomain = "CameraErrorDomain";
inline constexpr long kCameraErrorNoDevice = 1;

// One captured picture and the QR codes found in it.
struct CapturedFrame {
    platform::ui::UIImagePtr image;
    int width = 0;
    int height = 0;
    std::vector<DecodedCode> codes;
};

// A camera. Its pictures are image files; reading one also decodes the QR
// codes in it. Devices are shared by the sessions that use them.
class AVCaptureDevice {
  public:
    // The camera named by $KAV_CAMERA for video; null when the variable is
    // not set, names nothing, or names a folder without pictures (a machine
    // without a camera). Read afresh on every call.
    static std::shared_ptr<AVCaptureDevice> defaultDeviceWithMediaType(
        const std::string& mediaType);
    // A camera playing these picture files in order at `frameRate` frames per
    // second; null without files or with a rate that is not positive.
    static std::shared_ptr<AVCaptureDevice> deviceWithFrames(
        std::vector<std::filesystem::path> frames, double frameRate = kDefaultFrameRate);

    AVCaptureDevice(std::vector<std::filesystem::path> frames, double frameRate);

    bool hasMediaType(const std::string& mediaType) const { return mediaType == AVMediaTypeVideo; }
    const std::string& uniqueID() const { return uniqueID_; }
    const std::string& localizedName() const { return localizedName_; }
    const std::vector<std::filesystem::path>& frameFiles() const { return frames_; }
    double frameRate() const { return frameRate_; }

    // Reads and scans the picture of frame `index` (taken modulo the number
    // of files). Thread-safe; pictures are read once and kept while the
    // folder is small. Null when the file cannot be read or is no picture.
    std::shared_ptr<const CapturedFrame> captureFrame(size_t index);

  private:
    std::vector<std::filesystem::path> frames_;
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
