#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/RunLoop.h"
#include "platform/camera/CaptureDevice.h"
#include "platform/ui/Geometry.h"

namespace platform::camera {

class AVCaptureSession;
class AVCaptureOutput;
class AVCaptureVideoPreviewLayer;

inline constexpr const char* AVMetadataObjectTypeQRCode = "org.iso.QRCode";

// Posted on the main run loop when a running session stops by itself because
// its camera failed (busy, refusing the format, gone): the object is the
// session (std::shared_ptr<AVCaptureSession>), the user info holds the
// platform::Error under AVCaptureSessionErrorKey. Nothing is delivered after it.
inline constexpr const char* AVCaptureSessionRuntimeErrorNotification =
    "AVCaptureSessionRuntimeErrorNotification";
inline constexpr const char* AVCaptureSessionErrorKey = "AVCaptureSessionErrorKey";

// Picture qualities a session can be set to; the picture files are used as
// they are whatever the preset.
inline constexpr const char* AVCaptureSessionPresetHigh = "AVCaptureSessionPresetHigh";
inline constexpr const char* AVCaptureSessionPresetMedium = "AVCaptureSessionPresetMedium";
inline constexpr const char* AVCaptureSessionPresetLow = "AVCaptureSessionPresetLow";
inline constexpr const char* AVCaptureSessionPresetPhoto = "AVCaptureSessionPresetPhoto";

// Something found in a picture.
class AVMetadataObject {
  public:
    virtual ~AVMetadataObject() = default;
    const std::string& type() const { return type_; }
    // Where it lies, as fractions (0 to 1) of the picture's width and height.
    platform::ui::CGRect bounds() const { return bounds_; }

  protected:
    AVMetadataObject(std::string type, platform::ui::CGRect bounds)
        : type_(std::move(type)), bounds_(bounds) {}

  private:
    std::string type_;
    platform::ui::CGRect bounds_;
};

// A code read from a picture.
class AVMetadataMachineReadableCodeObject : public AVMetadataObject {
  public:
    AVMetadataMachineReadableCodeObject(std::string type, std::optional<std::string> stringValue,
                                        platform::ui::CGRect bounds,
                                        std::vector<platform::ui::CGPoint> corners)
        : AVMetadataObject(std::move(type), bounds),
          stringValue_(std::move(stringValue)),
          corners_(std::move(corners)) {}
    // The code's text; nothing when it holds no readable text.
    const std::optional<std::string>& stringValue() const { return stringValue_; }
    // Corners as fractions of the picture's size.
    const std::vector<platform::ui::CGPoint>& corners() const { return corners_; }

  private:
    std::optional<std::string> stringValue_;
    std::vector<platform::ui::CGPoint> corners_;
};

using AVMetadataObjectPtr = std::shared_ptr<AVMetadataObject>;

// The link from a session's input to one of its outputs.
class AVCaptureConnection {
  public:
    AVCaptureConnection(std::shared_ptr<AVCaptureDeviceInput> input, AVCaptureOutput* output)
        : input_(std::move(input)), output_(output) {}
    const std::shared_ptr<AVCaptureDeviceInput>& input() const { return input_; }
    AVCaptureOutput* output() const { return output_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

  private:
    std::shared_ptr<AVCaptureDeviceInput> input_;
    AVCaptureOutput* output_;
    bool enabled_ = true;
};

// Where a session delivers what it captures.
class AVCaptureOutput {
  public:
    virtual ~AVCaptureOutput() = default;
    AVCaptureSession* session() const { return session_; }
    // The connection to the session's input; null while there is none.
    AVCaptureConnection* connection() const { return connection_.get(); }

  protected:
    friend class AVCaptureSession;
    virtual void deliver(const CapturedFrame& frame) = 0;

    AVCaptureSession* session_ = nullptr;
    std::unique_ptr<AVCaptureConnection> connection_;
};

class AVCaptureMetadataOutput;

// Receives the codes a metadata output reads, on the main run loop.
class AVCaptureMetadataOutputObjectsDelegate {
  public:
    virtual ~AVCaptureMetadataOutputObjectsDelegate() = default;
    virtual void captureOutput(AVCaptureOutput& output,
                               const std::vector<AVMetadataObjectPtr>& metadataObjects,
                               AVCaptureConnection& connection) = 0;
};

// Reads codes out of the captured pictures. Its delegate is told of every
// picture that holds at least one code of the types asked for, the codes in
// reading order; pictures without one are not reported.
class AVCaptureMetadataOutput : public AVCaptureOutput {
  public:
    // Not owned; its calls come on the main run loop (the only queue there
    // is for them). A delegate that is gone is not called.
    void setMetadataObjectsDelegate(std::weak_ptr<AVCaptureMetadataOutputObjectsDelegate> d) {
        delegate_ = std::move(d);
    }
    std::shared_ptr<AVCaptureMetadataOutputObjectsDelegate> metadataObjectsDelegate() const {
        return delegate_.lock();
    }
    // What can be read: QR codes once the output belongs to a session that
    // has a video input; nothing before.
    std::vector<std::string> availableMetadataObjectTypes() const;
    // What to read (none at first). Types that are not available are refused
    // whole: false, logged, and the types stay as they were.
    bool setMetadataObjectTypes(const std::vector<std::string>& types);
    const std::vector<std::string>& metadataObjectTypes() const { return types_; }

  protected:
    void deliver(const CapturedFrame& frame) override;

  private:
    std::weak_ptr<AVCaptureMetadataOutputObjectsDelegate> delegate_;
    std::vector<std::string> types_;
};

// Runs the capture: while running, the input's device gives one picture per
// frame interval (the first at once), read and scanned off the main thread
// and handed to the outputs and preview layers on the main run loop. A
// picture still being read when the next is due makes that one be skipped,
// as a camera drops late frames. A live camera's stream runs from the start
// (or from its adding, in a running session) to the stop; if it fails, the session stops and posts
// AVCaptureSessionRuntimeErrorNotification. Nothing read before a stop is
// delivered after it. Main thread only; hold it in a std::shared_ptr.
class AVCaptureSession : public std::enable_shared_from_this<AVCaptureSession> {
  public:
    AVCaptureSession();
    ~AVCaptureSession();
    AVCaptureSession(const AVCaptureSession&) = delete;
    AVCaptureSession& operator=(const AVCaptureSession&) = delete;

    const std::string& sessionPreset() const { return preset_; }
    bool canSetSessionPreset(const std::string& preset) const;
    // Unknown presets are ignored (logged).
    void setSessionPreset(const std::string& preset);

    // One video input per session; an input already in it cannot be added
    // again.
    bool canAddInput(const std::shared_ptr<AVCaptureDeviceInput>& input) const;
    void addInput(const std::shared_ptr<AVCaptureDeviceInput>& input);
    void removeInput(const std::shared_ptr<AVCaptureDeviceInput>& input);
    std::vector<std::shared_ptr<AVCaptureDeviceInput>> inputs() const;
    // An output belongs to one session at a time.
    bool canAddOutput(const std::shared_ptr<AVCaptureOutput>& output) const;
    void addOutput(const std::shared_ptr<AVCaptureOutput>& output);
    void removeOutput(const std::shared_ptr<AVCaptureOutput>& output);
    const std::vector<std::shared_ptr<AVCaptureOutput>>& outputs() const { return outputs_; }

    void startRunning();
    void stopRunning();
    bool isRunning() const { return running_; }

    // Pictures handed out since the session was made (for diagnostics and
    // tests).
    uint64_t deliveredFrames() const { return delivered_; }

  private:
    friend class AVCaptureVideoPreviewLayer;
    void addPreviewLayer(const std::shared_ptr<AVCaptureVideoPreviewLayer>& layer);
    // Opens the input's camera and reads it at its rate (running only).
    void startCapture();
    void captureNext();
    void deliver(uint64_t generation, std::shared_ptr<const CapturedFrame> frame);
    void streamFailed(uint64_t generation, const platform::Error& error);
    void connectOutputs();

    std::string preset_ = AVCaptureSessionPresetHigh;
    std::shared_ptr<AVCaptureDeviceInput> input_;
    std::vector<std::shared_ptr<AVCaptureOutput>> outputs_;
    std::vector<std::weak_ptr<AVCaptureVideoPreviewLayer>> previews_;
    bool running_ = false;
    bool frameInFlight_ = false;
    // Changes with every start and stop, so that a picture read for an
    // earlier run is dropped.
    uint64_t generation_ = 0;
    size_t nextFrame_ = 0;
    uint64_t delivered_ = 0;
    platform::Timer frameTimer_;
    std::unique_ptr<platform::dispatch::SerialQueue> queue_;
};

}  // namespace platform::camera
