#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Error.h"

typedef struct _GError GError;

namespace platform::camera {

struct CapturedFrame;

// The camera error a pipeline's error message stands for, named in words the
// user can act on: busy, refusing the format (also a failed negotiation,
// which GStreamer tells in the debug text), cannot be opened, gone, or
// GStreamer's own words.
platform::Error cameraErrorForStreamFailure(const GError* error, const char* debug);

// A live picture stream through GStreamer: a source element (the camera
// device, or any source a description names), conversion to the layout the
// preview draws, and an application sink that keeps only the newest picture.
// Starting and stopping run on one queue shared by every stream, so a camera
// closed by one scanner is released before the next scanner opens it; none
// of it blocks the caller.
class StreamCapture : public std::enable_shared_from_this<StreamCapture> {
  public:
    // Told once per start why the stream ended by itself (on a GStreamer or
    // queue thread).
    using FailureHandler = std::function<void(const platform::Error&)>;

    // The V4L2 device node, read by `v4l2src`.
    static std::shared_ptr<StreamCapture> forDevice(std::string devicePath);
    // A source described as on a GStreamer command line (one element or a
    // chain ending in pictures `videoconvert` takes), used in the device's
    // place by tests.
    static std::shared_ptr<StreamCapture> forDescription(std::string description);
    // False, logged, when GStreamer cannot be set up on this machine.
    static bool available();
    // Blocks until every start and stop queued so far has run (tests only,
    // so none is left running as the program ends).
    static void waitUntilIdle();

    ~StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    // Queues the pipeline's start; a failure to start reaches `onFailure`
    // like a failure later on.
    void start(FailureHandler onFailure);
    // Queues the pipeline's stop; `onFailure` of the last start is not
    // called from now on.
    void stop();
    // True from a start that succeeded to the stop or failure that ended it.
    bool isStreaming() const;

    // The newest picture the stream produced since the last call, scanned
    // for QR codes; null when none came. Thread-safe.
    std::shared_ptr<const CapturedFrame> takeFrame();

    struct Pipeline;

  private:
    StreamCapture(std::string devicePath, std::string description);
    void startNow(uint64_t run);
    void stopNow();
    void fail(uint64_t run, const platform::Error& error);

    const std::string devicePath_;
    const std::string description_;
    mutable std::mutex mutex_;
    FailureHandler onFailure_;
    // Counts the starts, so that a failure of an earlier run is dropped.
    uint64_t run_ = 0;
    bool streaming_ = false;
    std::unique_ptr<Pipeline> pipeline_;  // touched on the shared queue only
    void* sink_ = nullptr;                // the pipeline's appsink, kept with a reference
};

}  // namespace platform::camera
