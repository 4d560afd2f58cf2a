// The live camera's way through GStreamer, fed by GStreamer's own sources in
// the device's place: pictures reach the reader and the preview, a stop ends
// delivery, and a pipeline that cannot start or breaks off stops the session
// with its cause.
#include <gtest/gtest.h>

#include <gst/gst.h>

#include <any>
#include <fstream>

#include "platform/NotificationCenter.h"
#include "platform/camera/CaptureSession.h"
#include "platform/camera/PreviewLayer.h"
#include "tests/support/QRImage.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace platform::camera;

class StreamReader : public AVCaptureMetadataOutputObjectsDelegate {
  public:
    void captureOutput(AVCaptureOutput&, const std::vector<AVMetadataObjectPtr>& objects,
                       AVCaptureConnection&) override {
        for (const auto& object : objects) {
            auto code = std::dynamic_pointer_cast<AVMetadataMachineReadableCodeObject>(object);
            texts.push_back(code && code->stringValue() ? *code->stringValue() : "<none>");
        }
    }
    std::vector<std::string> texts;
};

class StreamCameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        errorObserver = platform::NotificationCenter::defaultCenter().addObserver(
            AVCaptureSessionRuntimeErrorNotification, [this](const platform::Notification& n) {
                const auto* from = std::any_cast<std::shared_ptr<AVCaptureSession>>(&n.object);
                EXPECT_TRUE(from && *from == session);
                const auto& value = n.userInfo.at(AVCaptureSessionErrorKey);
                errors.push_back(std::any_cast<platform::Error>(value));
            });
    }
    void TearDown() override {
        if (session) session->stopRunning();
        // The pipeline is torn down on the camera's queue: none is left
        // running as the test ends.
        StreamCapture::waitUntilIdle();
    }
    // Pictures played in order by multifilesrc, ten a second, round and
    // round unless `loop` is false.
    std::string pictures(const std::vector<platform::image::Bitmap>& frames, bool loop = true) {
        for (size_t i = 0; i < frames.size(); ++i)
            kavtest::writePNG(dir / ("frame" + std::to_string(i) + ".png"), frames[i]);
        return "multifilesrc location=" + (dir / "frame%d.png").string() +
               (loop ? " loop=true" : "") + " caps=image/png,framerate=10/1 ! pngdec";
    }
    // A session on the camera $KAV_CAMERA_PIPELINE describes, its reader and
    // preview, started.
    void run(const std::string& description) {
        kavtest::ScopedEnv noPictures(kCameraSourceVariable, nullptr);
        kavtest::ScopedEnv source(kCameraPipelineVariable, description.c_str());
        device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
        ASSERT_TRUE(device);
        ASSERT_TRUE(device->stream()) << "a stream, not the picture-file camera";
        EXPECT_TRUE(device->frameFiles().empty());
        session = std::make_shared<AVCaptureSession>();
        session->addInput(AVCaptureDeviceInput::deviceInputWithDevice(device));
        output = std::make_shared<AVCaptureMetadataOutput>();
        output->setMetadataObjectsDelegate(reader);
        session->addOutput(output);
        ASSERT_TRUE(output->setMetadataObjectTypes({AVMetadataObjectTypeQRCode}));
        preview = AVCaptureVideoPreviewLayer::layerWithSession(session);
        session->startRunning();
    }
    // Moves the virtual clock a frame interval at a time, letting each tick's
    // picture be read (real time, bounded), until the condition holds.
    bool tickUntil(const std::function<bool()>& done, int ticks = 100) {
        for (int i = 0; i < ticks; ++i) {
            if (time.runUntil(done, 0.05)) return true;
            time.advance(1.0 / device->frameRate());
        }
        return done();
    }
    bool failed() const { return !errors.empty(); }

    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    std::shared_ptr<AVCaptureDevice> device;
    std::shared_ptr<AVCaptureSession> session;
    std::shared_ptr<AVCaptureMetadataOutput> output;
    std::shared_ptr<StreamReader> reader = std::make_shared<StreamReader>();
    std::shared_ptr<AVCaptureVideoPreviewLayer> preview;
    std::vector<platform::Error> errors;
    platform::ObserverToken errorObserver;
};

TEST_F(StreamCameraTest, PicturesThroughThePipelineReachTheReaderAndThePreview) {
    run(pictures({kavtest::plainPicture(320, 240, 0x405060),
                  kavtest::qrScene(320, 240, {{"through the pipeline", 60, 20}})}));
    ASSERT_TRUE(tickUntil([&] { return !reader->texts.empty(); }));
    EXPECT_EQ(reader->texts.front(), "through the pipeline");
    ASSERT_NE(preview->currentFrame(), nullptr);
    EXPECT_EQ(preview->currentFrame()->size().width, 320);
    EXPECT_EQ(preview->currentFrame()->size().height, 240);
    EXPECT_TRUE(device->stream()->isStreaming());
    EXPECT_FALSE(failed());
}

TEST_F(StreamCameraTest, AStopInTheMiddleOfTheStreamDeliversNothingAfterwards) {
    run("videotestsrc is-live=true ! capsfilter "
        "caps=video/x-raw,width=160,height=120,framerate=30/1");
    ASSERT_TRUE(tickUntil([&] { return session->deliveredFrames() >= 3; }));
    // The tick's picture is being read on the capture queue when the stop comes.
    time.advance(1.0 / device->frameRate());
    session->stopRunning();
    const uint64_t delivered = session->deliveredFrames();
    EXPECT_FALSE(device->stream()->isStreaming());
    EXPECT_EQ(device->captureFrame(0), nullptr) << "a stopped stream gives no picture";
    for (int i = 0; i < 10; ++i) {
        time.advance(0.1);
        time.runUntil([] { return false; }, 0.03);
    }
    EXPECT_EQ(session->deliveredFrames(), delivered);
    EXPECT_FALSE(failed()) << "a stop is no failure";

    // Started again, the stream comes back.
    session->startRunning();
    ASSERT_TRUE(tickUntil([&] { return session->deliveredFrames() > delivered; }));
}

TEST_F(StreamCameraTest, APipelineThatCannotStartStopsTheSessionWithItsCause) {
    run("filesrc location=" + (dir / "no-such-camera.png").string() + " ! pngdec");
    ASSERT_TRUE(tickUntil([&] { return failed(); }, 40));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].domain, kCameraErrorDomain);
    EXPECT_EQ(errors[0].code, kCameraErrorCannotOpen);
    EXPECT_EQ(errors[0].localizedDescription, kCameraCannotOpenMessage);
    EXPECT_FALSE(session->isRunning());
    time.advance(1);
    EXPECT_EQ(session->deliveredFrames(), 0u);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(StreamCameraTest, ASourceThatGivesNoPictureFormatTheConversionTakesIsRefused) {
    // A camera that only sends JPEG frames: nothing raw to convert.
    run("videotestsrc ! capsfilter caps=video/x-raw,width=64,height=48 ! jpegenc");
    ASSERT_TRUE(tickUntil([&] { return failed(); }, 40));
    EXPECT_EQ(errors[0].code, kCameraErrorFormatRefused);
    EXPECT_EQ(errors[0].localizedDescription, kCameraFormatMessage);
    EXPECT_FALSE(session->isRunning());
    EXPECT_EQ(session->deliveredFrames(), 0u);
}

TEST_F(StreamCameraTest, AStreamThatBreaksOffStopsTheSessionAsAGoneCamera) {
    // Three pictures, no more: the stream ends as an unplugged camera's does.
    run(pictures({kavtest::plainPicture(64, 48, 0x202020), kavtest::plainPicture(64, 48, 0x404040),
                  kavtest::plainPicture(64, 48, 0x606060)},
                 false));
    ASSERT_TRUE(tickUntil([&] { return failed(); }));
    EXPECT_EQ(errors[0].code, kCameraErrorDeviceGone);
    EXPECT_EQ(errors[0].localizedDescription, kCameraGoneMessage);
    EXPECT_FALSE(session->isRunning());
    const uint64_t delivered = session->deliveredFrames();
    for (int i = 0; i < 5; ++i) {
        time.advance(0.1);
        time.runUntil([] { return false; }, 0.02);
    }
    EXPECT_EQ(session->deliveredFrames(), delivered);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(StreamCameraTest, AStreamTakenOutOfARunningSessionIsReleased) {
    run("videotestsrc is-live=true ! capsfilter "
        "caps=video/x-raw,width=160,height=120,framerate=30/1");
    ASSERT_TRUE(tickUntil([&] { return session->deliveredFrames() >= 2; }));
    session->removeInput(session->inputs().front());
    StreamCapture::waitUntilIdle();
    EXPECT_FALSE(device->stream()->isStreaming()) << "the camera is off once out of the session";
    const uint64_t delivered = session->deliveredFrames();
    for (int i = 0; i < 5; ++i) {
        time.advance(0.1);
        time.runUntil([] { return false; }, 0.02);
    }
    EXPECT_EQ(session->deliveredFrames(), delivered);
    session->stopRunning();
    EXPECT_FALSE(failed());
}

TEST_F(StreamCameraTest, AStreamPutBackIntoARunningSessionStreamsAgain) {
    run("videotestsrc is-live=true ! capsfilter "
        "caps=video/x-raw,width=160,height=120,framerate=30/1");
    ASSERT_TRUE(tickUntil([&] { return session->deliveredFrames() >= 2; }));
    auto input = session->inputs().front();
    session->removeInput(input);
    StreamCapture::waitUntilIdle();
    const uint64_t delivered = session->deliveredFrames();
    session->addInput(input);
    ASSERT_TRUE(session->isRunning());
    ASSERT_TRUE(tickUntil([&] { return session->deliveredFrames() > delivered; }))
        << "the camera is opened again";
    EXPECT_TRUE(device->stream()->isStreaming());
    EXPECT_FALSE(failed());
}

TEST_F(StreamCameraTest, ACameraWhosePaddingByteIsZeroIsReadAsItIsShown) {
    // 32-bit pictures whose fourth byte is padding, left at zero, as many
    // cameras and capture cards send them: the preview shows the code, so
    // the reader must see it too.
    auto scene = kavtest::qrScene(240, 240, {{"padded", 20, 20}});
    std::string raw;
    for (uint32_t pixel : scene.pixels) {
        const uint32_t padded = pixel & 0x00FFFFFFu;
        raw.append(reinterpret_cast<const char*>(&padded), sizeof padded);
    }
    std::ofstream(dir / "frame.raw", std::ios::binary) << raw;
    run("multifilesrc location=" + (dir / "frame.raw").string() +
        " loop=true caps=video/x-raw,format=BGRx,width=240,height=240,framerate=10/1");
    ASSERT_TRUE(tickUntil([&] { return !reader->texts.empty() || failed(); }, 30));
    EXPECT_FALSE(failed());
    ASSERT_EQ(reader->texts.size(), 1u);
    EXPECT_EQ(reader->texts[0], "padded");
}

TEST(StreamErrorTest, EachFailureIsNamedByItsCause) {
    auto named = [](GQuark domain, int code, const char* debug = nullptr) {
        GError* error = g_error_new_literal(domain, code, "GStreamer's words");
        auto result = cameraErrorForStreamFailure(error, debug);
        g_error_free(error);
        return result;
    };
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    EXPECT_EQ(named(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY).localizedDescription,
              kCameraBusyMessage);
    EXPECT_EQ(named(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_SETTINGS).code,
              kCameraErrorFormatRefused);
    EXPECT_EQ(named(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED,
                    "streaming stopped, reason not-negotiated (-4)")
                  .code,
              kCameraErrorFormatRefused);
    EXPECT_EQ(named(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ).code, kCameraErrorDeviceGone);
    EXPECT_EQ(named(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ_WRITE).code,
              kCameraErrorCannotOpen);
    auto other = named(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "reason error (-5)");
    EXPECT_EQ(other.code, kCameraErrorStreamFailed);
    EXPECT_EQ(other.localizedDescription, "摄像头出错：GStreamer's words");
}

TEST(CameraChoiceTest, PicturesComeFirstThenTheTestSourceThenTheDevice) {
    kavtest::TempDir dir;
    kavtest::writeQRPNG(dir / "code.png", "x");
    kavtest::ScopedEnv source(kCameraPipelineVariable, "videotestsrc");
    {
        kavtest::ScopedEnv pictures(kCameraSourceVariable, (dir / "code.png").c_str());
        auto device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
        ASSERT_TRUE(device);
        EXPECT_EQ(device->stream(), nullptr);
        EXPECT_DOUBLE_EQ(device->frameRate(), kDefaultFrameRate);
    }
    kavtest::ScopedEnv noPictures(kCameraSourceVariable, nullptr);
    auto device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
    ASSERT_TRUE(device);
    EXPECT_NE(device->stream(), nullptr);
    EXPECT_DOUBLE_EQ(device->frameRate(), kDefaultStreamRate);

    // A named node that is no video capture device is no camera.
    kavtest::ScopedEnv noSource(kCameraPipelineVariable, nullptr);
    for (const std::string& node : {(dir / "code.png").string(), (dir / "video7").string()}) {
        kavtest::ScopedEnv named(kCameraDeviceVariable, node.c_str());
        EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr) << node;
    }
    EXPECT_EQ(AVCaptureDevice::deviceWithSourceDescription(""), nullptr);
}

}  // namespace
