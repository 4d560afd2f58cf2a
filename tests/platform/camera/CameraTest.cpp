// The picture-file camera: QR decoding, the device named by the environment,
// the session's frame pacing and delivery, and the preview's fitting.
#include <gtest/gtest.h>

#include <cairo.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/Log.h"
#include "platform/camera/CaptureSession.h"
#include "platform/camera/PreviewLayer.h"
#include "platform/camera/QRDecoder.h"
#include "tests/support/QRImage.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace platform::camera;
using kavtest::QRPlacement;

// ---- decoding ----

TEST(QRDecoderTest, ReadsTextsInReadingOrderAndNothingFromAPlainPicture) {
    const std::string url = "http://127.0.0.1:8080/dealer/getdealer.php?key=KAVFX";
    auto one = platform::image::decode(kavtest::qrPNG(url));
    ASSERT_TRUE(one);
    auto codes = decodeQRCodes(*one);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].text, url);
    EXPECT_EQ(codes[0].corners.size(), 4u);

    // Drawn right one first: the left one still comes first.
    auto scene = kavtest::qrScene(640, 320, {{"右边 right", 340, 20}, {"左边 left", 20, 24}});
    codes = decodeQRCodes(scene);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0].text, "左边 left");
    EXPECT_EQ(codes[1].text, "右边 right");
    EXPECT_LT(codes[0].bounds.origin.x, codes[1].bounds.origin.x);

    // One below the other: the upper one first.
    scene = kavtest::qrScene(320, 640, {{"lower", 20, 330}, {"upper", 30, 10}});
    codes = decodeQRCodes(scene);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0].text, "upper");

    // Bytes that are not UTF-8 are no text.
    codes = decodeQRCodes(*platform::image::decode(kavtest::qrPNG("\xff\xfe\xfd")));
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_FALSE(codes[0].text.has_value());

    EXPECT_TRUE(decodeQRCodes(kavtest::plainPicture(200, 100, 0x336699)).empty());
    EXPECT_TRUE(decodeQRCodes(platform::image::Bitmap{}).empty());
    platform::image::Bitmap broken;  // claims a size its pixels do not have
    broken.width = 100;
    broken.height = 100;
    broken.pixels.resize(10);
    EXPECT_TRUE(decodeQRCodes(broken).empty());
}

TEST(QRDecoderTest, ATransparentBackgroundReadsAsPaper) {
    auto scene = kavtest::qrScene(300, 300, {{"on glass", 10, 10}});
    for (auto& pixel : scene.pixels)
        if (pixel == 0xFFFFFFFFu) pixel = 0;  // white becomes fully transparent
    scene.opaque = false;
    auto codes = decodeQRCodes(scene);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].text, "on glass");
}

// ---- the device ----

TEST(CaptureDeviceTest, TheEnvironmentNamesAFileOrAFolderPlayedInNameOrder) {
    kavtest::TempDir dir;
    {
        kavtest::ScopedEnv unset(kCameraSourceVariable, nullptr);
        EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr);
    }
    {
        kavtest::ScopedEnv missing(kCameraSourceVariable, (dir / "nothing-here").c_str());
        EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr);
    }
    std::ofstream(dir / "notes.txt") << "not a picture";
    {
        kavtest::ScopedEnv noPictures(kCameraSourceVariable, dir.path().c_str());
        EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr);
    }
    kavtest::writeQRPNG(dir / "b.png", "second");
    kavtest::writeQRPNG(dir / "a.PNG", "first");
    kavtest::writePNG(dir / "c.png", kavtest::plainPicture(40, 30, 0x102030));
    kavtest::ScopedEnv folder(kCameraSourceVariable, dir.path().c_str());
    kavtest::ScopedEnv rate(kCameraRateVariable, "4");
    auto device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
    ASSERT_TRUE(device);
    EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType("soun"), nullptr);
    ASSERT_EQ(device->frameFiles().size(), 3u);
    EXPECT_EQ(device->frameFiles()[0].filename(), "a.PNG");
    EXPECT_EQ(device->frameFiles()[2].filename(), "c.png");
    EXPECT_DOUBLE_EQ(device->frameRate(), 4);
    EXPECT_EQ(device->captureFrame(0)->codes.at(0).text, "first");
    EXPECT_EQ(device->captureFrame(4)->codes.at(0).text, "second");  // round again
    auto plain = device->captureFrame(2);
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->codes.empty());
    EXPECT_EQ(plain->width, 40);
    EXPECT_EQ(plain->height, 30);

    kavtest::ScopedEnv badRate(kCameraRateVariable, "0");
    EXPECT_DOUBLE_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo)->frameRate(),
                     kDefaultFrameRate);
    kavtest::ScopedEnv file(kCameraSourceVariable, (dir / "b.png").c_str());
    device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->frameFiles().size(), 1u);

    platform::Error error;
    EXPECT_EQ(AVCaptureDeviceInput::deviceInputWithDevice(nullptr, &error), nullptr);
    EXPECT_EQ(error.code, kCameraErrorNoDevice);
}

TEST(CaptureDeviceTest, AnUnreadablePictureIsALostFrame) {
    kavtest::TempDir dir;
    std::ofstream(dir / "broken.png") << "\x89PNG but cut short";
    auto device = AVCaptureDevice::deviceWithFrames({dir / "broken.png"});
    ASSERT_TRUE(device);
    platform::LogCapture log;
    EXPECT_EQ(device->captureFrame(0), nullptr);
    EXPECT_EQ(device->captureFrame(0), nullptr);
    EXPECT_EQ(log.count("摄像头画面无法读取"), 1u);  // a kept miss is logged once
    EXPECT_EQ(AVCaptureDevice::deviceWithFrames({}), nullptr);
    EXPECT_EQ(AVCaptureDevice::deviceWithFrames({dir / "broken.png"}, 0), nullptr);
}

// ---- the session ----

class Reader : public AVCaptureMetadataOutputObjectsDelegate {
  public:
    void captureOutput(AVCaptureOutput&, const std::vector<AVMetadataObjectPtr>& objects,
                       AVCaptureConnection& connection) override {
        std::vector<std::string> texts;
        for (const auto& object : objects) {
            auto code = std::dynamic_pointer_cast<AVMetadataMachineReadableCodeObject>(object);
            texts.push_back(code && code->stringValue() ? *code->stringValue() : "<none>");
            lastBounds = object->bounds();
        }
        batches.push_back(texts);
        EXPECT_TRUE(connection.isEnabled());
        if (onRead) onRead();
    }
    std::vector<std::vector<std::string>> batches;
    platform::ui::CGRect lastBounds{};
    std::function<void()> onRead;
};

class CaptureSessionTest : public ::testing::Test {
  protected:
    // A folder camera: plain, code "one", plain, code "two" (at 10 frames a second).
    void SetUp() override {
        kavtest::writePNG(dir / "0.png", kavtest::plainPicture(64, 48, 0x808080));
        kavtest::writePNG(dir / "1.png", kavtest::qrScene(400, 200, {{"one", 100, 0}}));
        kavtest::writePNG(dir / "2.png", kavtest::plainPicture(64, 48, 0x808080));
        kavtest::writeQRPNG(dir / "3.png", "two");
        device = AVCaptureDevice::deviceWithFrames(
            {dir / "0.png", dir / "1.png", dir / "2.png", dir / "3.png"}, 10);
        session = std::make_shared<AVCaptureSession>();
        output = std::make_shared<AVCaptureMetadataOutput>();
        reader = std::make_shared<Reader>();
        output->setMetadataObjectsDelegate(reader);
    }
    void assemble() {
        auto input = AVCaptureDeviceInput::deviceInputWithDevice(device);
        ASSERT_TRUE(session->canAddInput(input));
        session->addInput(input);
        EXPECT_FALSE(session->canAddInput(input));
        ASSERT_TRUE(session->canAddOutput(output));
        session->addOutput(output);
        ASSERT_TRUE(output->setMetadataObjectTypes({AVMetadataObjectTypeQRCode}));
    }
    bool waitFrames(uint64_t n) {
        return time.runUntil([&] { return session->deliveredFrames() >= n; });
    }

    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    std::shared_ptr<AVCaptureDevice> device;
    std::shared_ptr<AVCaptureSession> session;
    std::shared_ptr<AVCaptureMetadataOutput> output;
    std::shared_ptr<Reader> reader;
};

TEST_F(CaptureSessionTest, QRCodesAreOnlyAvailableOnceTheOutputHasAVideoInput) {
    EXPECT_TRUE(output->availableMetadataObjectTypes().empty());
    session->addOutput(output);
    EXPECT_TRUE(output->availableMetadataObjectTypes().empty());
    EXPECT_FALSE(output->setMetadataObjectTypes({AVMetadataObjectTypeQRCode}));
    EXPECT_TRUE(output->metadataObjectTypes().empty());
    session->addInput(AVCaptureDeviceInput::deviceInputWithDevice(device));
    EXPECT_FALSE(output->setMetadataObjectTypes({AVMetadataObjectTypeQRCode, "org.gs1.EAN-13"}));
    EXPECT_TRUE(output->setMetadataObjectTypes({AVMetadataObjectTypeQRCode}));
    EXPECT_NE(output->connection(), nullptr);

    auto other = std::make_shared<AVCaptureSession>();
    EXPECT_FALSE(other->canAddOutput(output));  // one session at a time
}

TEST_F(CaptureSessionTest, PicturesComeOnePerIntervalAndOnlyThoseWithCodesAreReported) {
    assemble();
    session->startRunning();
    ASSERT_TRUE(waitFrames(1));  // the first at once: plain, not reported
    EXPECT_TRUE(reader->batches.empty());
    time.drain();
    EXPECT_EQ(session->deliveredFrames(), 1u);  // nothing more without time passing

    time.advance(0.1);
    ASSERT_TRUE(waitFrames(2));
    ASSERT_EQ(reader->batches.size(), 1u);
    EXPECT_EQ(reader->batches[0], std::vector<std::string>{"one"});
    // The code stands in the middle of a 400 x 200 picture: bounds are fractions.
    EXPECT_GT(reader->lastBounds.origin.x, 0.25);
    EXPECT_LT(reader->lastBounds.origin.x + reader->lastBounds.size.width, 0.75);

    time.advance(0.1);
    ASSERT_TRUE(waitFrames(3));
    time.advance(0.1);
    ASSERT_TRUE(waitFrames(4));
    ASSERT_EQ(reader->batches.size(), 2u);
    EXPECT_EQ(reader->batches[1], std::vector<std::string>{"two"});
    time.advance(0.1);
    ASSERT_TRUE(waitFrames(5));  // round again: plain
    EXPECT_EQ(reader->batches.size(), 2u);
    session->stopRunning();
}

TEST_F(CaptureSessionTest, NothingReadBeforeAStopIsDeliveredAfterIt) {
    assemble();
    session->startRunning();  // frame 0 is being read
    session->stopRunning();
    EXPECT_FALSE(session->isRunning());
    // Started again, the next picture is frame 1 (a code); once it arrives,
    // the one read for the first run has come and gone before it (one queue).
    session->startRunning();
    ASSERT_TRUE(waitFrames(1));
    EXPECT_EQ(session->deliveredFrames(), 1u);
    ASSERT_EQ(reader->batches.size(), 1u);
    EXPECT_EQ(reader->batches[0], std::vector<std::string>{"one"});

    session->stopRunning();
    time.advance(1.0);  // the frame timer is gone with the stop
    time.drain();
    EXPECT_EQ(session->deliveredFrames(), 1u);
}

TEST_F(CaptureSessionTest, AReaderThatStopsTheSessionGetsNoSecondCode) {
    // Every frame holds a code.
    device = AVCaptureDevice::deviceWithFrames({dir / "1.png", dir / "3.png"}, 10);
    assemble();
    auto second = std::make_shared<AVCaptureMetadataOutput>();
    auto secondReader = std::make_shared<Reader>();
    second->setMetadataObjectsDelegate(secondReader);
    session->addOutput(second);
    second->setMetadataObjectTypes({AVMetadataObjectTypeQRCode});
    reader->onRead = [&] { session->stopRunning(); };
    session->startRunning();
    ASSERT_TRUE(waitFrames(1));
    time.advance(0.5);
    time.drain();
    EXPECT_EQ(reader->batches.size(), 1u);
    // The stop came before the second output's turn.
    EXPECT_TRUE(secondReader->batches.empty());
}

TEST_F(CaptureSessionTest, AGoneReaderOrAnOutputWithoutTypesIsNotCalled) {
    assemble();
    output->setMetadataObjectTypes({});
    auto listening = std::make_shared<AVCaptureMetadataOutput>();
    auto gone = std::make_shared<Reader>();
    listening->setMetadataObjectsDelegate(gone);
    session->addOutput(listening);
    listening->setMetadataObjectTypes({AVMetadataObjectTypeQRCode});
    std::weak_ptr<Reader> watch = gone;
    gone.reset();
    EXPECT_TRUE(watch.expired());
    session->startRunning();
    ASSERT_TRUE(waitFrames(1));
    time.advance(0.1);
    ASSERT_TRUE(waitFrames(2));
    EXPECT_TRUE(reader->batches.empty());
    session->stopRunning();
}

TEST_F(CaptureSessionTest, ALatePictureMakesTheNextOneBeSkipped) {
    // The first picture is a pipe nobody writes to yet: its reading stays in
    // flight however the threads are scheduled.
    const auto held = dir / "held";
    ASSERT_EQ(::mkfifo(held.c_str(), 0600), 0);
    device =
        AVCaptureDevice::deviceWithFrames({held, dir / "1.png", dir / "2.png", dir / "3.png"}, 10);
    platform::LogCapture log;
    assemble();
    session->startRunning();
    // Three intervals pass before the first picture has been handed over:
    // the ticks find it still in flight and skip.
    time.advance(0.35);
    // Let the reading end: a pipe is no picture, so that frame is lost.
    const int fd = ::open(held.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(time.runUntil([&] { return log.contains("摄像头画面无法读取"); }));
    // No request went out for the skipped ticks, so nothing else comes.
    EXPECT_FALSE(time.runUntil([&] { return session->deliveredFrames() > 0; }, 0.2));
    time.advance(0.1);  // the next tick: frame 1, not frame 3
    ASSERT_TRUE(waitFrames(1));
    ASSERT_EQ(reader->batches.size(), 1u);
    EXPECT_EQ(reader->batches[0], std::vector<std::string>{"one"});
    session->stopRunning();
}

TEST_F(CaptureSessionTest, AnInputAddedToARunningSessionIsCaptured) {
    session->addOutput(output);
    session->startRunning();  // nothing to capture yet
    auto input = AVCaptureDeviceInput::deviceInputWithDevice(device);
    session->addInput(input);
    ASSERT_TRUE(output->setMetadataObjectTypes({AVMetadataObjectTypeQRCode}));
    ASSERT_TRUE(waitFrames(1)) << "the camera's first picture comes at once";
    time.advance(0.1);
    ASSERT_TRUE(waitFrames(2));
    ASSERT_EQ(reader->batches.size(), 1u);
    EXPECT_EQ(reader->batches[0], std::vector<std::string>{"one"});

    // Taken out and put back, it goes on at its own rate, from one timer.
    session->removeInput(input);
    auto quick = AVCaptureDevice::deviceWithFrames({dir / "0.png"}, 20);
    session->addInput(AVCaptureDeviceInput::deviceInputWithDevice(quick));
    ASSERT_TRUE(waitFrames(3));
    time.advance(0.05);
    ASSERT_TRUE(waitFrames(4));
    time.advance(0.05);
    ASSERT_TRUE(waitFrames(5));
    time.drain();
    EXPECT_EQ(session->deliveredFrames(), 5u);
    session->stopRunning();
}

// ---- the preview ----

// The layer drawn into a w x h picture.
std::shared_ptr<platform::ui::UIImage> renderLayer(platform::ui::CALayer& layer, int w, int h) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    layer.render(cr);
    cairo_destroy(cr);
    auto image = std::make_shared<platform::ui::UIImage>(surface, 1);
    cairo_surface_destroy(surface);
    return image;
}

TEST_F(CaptureSessionTest, ThePreviewFillsItsBoundsKeepingTheAspect) {
    // A 200 x 100 red picture with a blue right half.
    auto picture = kavtest::plainPicture(200, 100, 0xFF0000);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            picture.pixels[y * 200 + x] = 0xFF0000FF;
    kavtest::writePNG(dir / "wide.png", picture);
    device = AVCaptureDevice::deviceWithFrames({dir / "wide.png"});
    assemble();
    auto preview = AVCaptureVideoPreviewLayer::layerWithSession(session);
    preview->setFrame({{0, 0}, {100, 100}});
    auto black = renderLayer(*preview, 100, 100);
    EXPECT_EQ(black->pixelAt(50, 50), platform::ui::UIColor::blackColor());  // nothing yet

    session->startRunning();
    ASSERT_TRUE(waitFrames(1));
    ASSERT_TRUE(preview->currentFrame());

    // Whole picture, keeping the aspect: bands above and below.
    auto fit = renderLayer(*preview, 100, 100);
    EXPECT_EQ(fit->pixelAt(50, 5), platform::ui::UIColor::blackColor());
    EXPECT_EQ(fit->pixelAt(10, 50), platform::ui::UIColor::rgb255(255, 0, 0));
    EXPECT_EQ(fit->pixelAt(90, 50), platform::ui::UIColor::rgb255(0, 0, 255));

    // Filling: the 100-point height rules, the sides are cut, no band.
    preview->setVideoGravity(AVLayerVideoGravityResizeAspectFill);
    EXPECT_DOUBLE_EQ(preview->pictureRect().size.width, 200);
    EXPECT_DOUBLE_EQ(preview->pictureRect().origin.x, -50);
    auto fill = renderLayer(*preview, 100, 100);
    EXPECT_EQ(fill->pixelAt(50, 2), platform::ui::UIColor::rgb255(0, 0, 255));
    EXPECT_EQ(fill->pixelAt(40, 97), platform::ui::UIColor::rgb255(255, 0, 0));
    // Only what lies inside the bounds is drawn.
    preview->setFrame({{20, 0}, {60, 60}});
    auto clipped = renderLayer(*preview, 100, 100);
    EXPECT_EQ(clipped->pixelAt(10, 30).alpha, 0);
    EXPECT_EQ(clipped->pixelAt(90, 30).alpha, 0);
    session->stopRunning();
}

}  // namespace
