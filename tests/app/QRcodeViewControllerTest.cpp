// The QR scanner over the picture-file camera: one code per opening, read
// from the first code of the first picture that holds one, handed over once
// the scanner is gone; the back button, a missing camera, and a live camera
// (GStreamer's sources in the device's place) that fails.
#include <algorithm>

#include "app/QRcodeViewController.h"
#include "platform/camera/StreamCapture.h"
#include "platform/ui/NavigationBar.h"
#include "tests/app/AppStage.h"
#include "tests/support/QRImage.h"
#include "ui/toolkit/BaseNavigationController.h"

using namespace apptest;

namespace {

// The screen that opens the scanner, as the dealer list does.
class Opener : public UIViewController, public QRcodeViewControllerDelegate {
  public:
    void viewDidLoad() override { view()->setBackgroundColor(UIColor::grey255(30)); }
    void onScanWithURL(const std::optional<std::string>& url) override {
        urls.push_back(url);
        scannerGoneWhenTold = presentedViewController() == nullptr;
    }
    std::shared_ptr<QRcodeViewController> open() {
        auto scanner = std::make_shared<QRcodeViewController>();
        scanner->setScanDelegate(weakSelf<QRcodeViewControllerDelegate>());
        presentViewController(std::make_shared<BaseNavigationController>(scanner), true);
        return scanner;
    }
    std::vector<std::optional<std::string>> urls;
    bool scannerGoneWhenTold = false;
};

class QRScannerTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        opener = std::make_shared<Opener>();
        show(opener);
    }
    void TearDown() override {
        scanner.reset();
        AppTest::TearDown();
        platform::camera::StreamCapture::waitUntilIdle();  // a live camera is released
    }
    // The camera plays the folder's pictures.
    void camera(const std::vector<platform::image::Bitmap>& frames) {
        for (size_t i = 0; i < frames.size(); ++i)
            kavtest::writePNG(temp / ("frame" + std::to_string(i) + ".png"), frames[i]);
        cameraEnv = std::make_unique<kavtest::ScopedEnv>("KAV_CAMERA", temp.path().c_str());
    }
    void openScanner() {
        scanner = opener->open();
        time.advance(0.4);  // slid in
    }
    bool waitFrames(uint64_t n) {
        return time.runUntil([&] { return scanner->session()->deliveredFrames() >= n; });
    }
    // Lets the camera run, a picture every 0.1 s, until the scanner has read
    // a code (its camera stops).
    bool readCode() {
        for (int frame = 0; frame < 20; ++frame) {
            if (time.runUntil([&] { return !scanner->session()->isRunning(); }, 0.5)) return true;
            time.advance(0.1);
        }
        return false;
    }
    bool scannerShown() const { return opener->presentedViewController() != nullptr; }
    size_t plays(const std::string& sound) const {
        auto all = platform::audio::recordedPlays();
        return std::count_if(all.begin(), all.end(),
                             [&](const auto& play) { return play.file.stem() == sound; });
    }

    std::shared_ptr<Opener> opener;
    std::shared_ptr<QRcodeViewController> scanner;
    std::unique_ptr<kavtest::ScopedEnv> cameraEnv;
};

const std::string kLookup = "http://127.0.0.1:17806/dealer/getdealer.php?key=GOLDEX";

TEST_F(QRScannerTest, TheFirstCodeReadClosesTheScannerAndOnlyThenReachesTheOpener) {
    // A scene without a code, then two codes side by side: the left one is first.
    // Two pictures a second: the scene is up while the scanner slides in.
    auto scene = kavtest::plainPicture(480, 360, 0x4a5a3c);
    camera({scene, kavtest::qrScene(640, 360, {{kLookup, 10, 40}, {"second code", 340, 40}})});
    kavtest::ScopedEnv rate("KAV_CAMERA_RATE", "2");
    openScanner();
    ASSERT_TRUE(waitFrames(1));
    EXPECT_EQ(scanner->title(), "扫描二维码");
    EXPECT_EQ(scanner->navigationController()->navigationBar()->barStyle(), UIBarStyle::Black);
    EXPECT_TRUE(scanner->session()->isRunning());
    // The picture fills the whole screen.
    EXPECT_EQ(scanner->preview()->frame(), scanner->view()->bounds());
    EXPECT_EQ(scanner->preview()->videoGravity(),
              platform::camera::AVLayerVideoGravityResizeAspectFill);
    snapshot("qr-scanner");

    ASSERT_TRUE(readCode()) << "the camera stops on the first code";
    EXPECT_EQ(scanner->session()->deliveredFrames(), 2u);
    EXPECT_EQ(plays("touchStart"), 1u);
    EXPECT_TRUE(opener->urls.empty()) << "not before the scanner is gone";
    snapshot("qr-scanner-read");
    time.advance(0.5);
    EXPECT_FALSE(scannerShown());
    ASSERT_EQ(opener->urls.size(), 1u);
    EXPECT_EQ(opener->urls[0], kLookup);
    EXPECT_TRUE(opener->scannerGoneWhenTold);

    // Time goes on: the stopped camera reads nothing more.
    time.advance(1);
    time.drain();
    EXPECT_EQ(scanner->session()->deliveredFrames(), 2u);
    EXPECT_EQ(opener->urls.size(), 1u);
}

TEST_F(QRScannerTest, ASecondBatchAlreadyOnItsWayIsIgnored) {
    camera({kavtest::qrScene(300, 300, {{kLookup, 10, 10}})});
    openScanner();
    ASSERT_TRUE(readCode());
    // What the camera had delivered before it stopped reaches the scanner
    // after its first read: nothing of it counts.
    platform::camera::AVCaptureConnection connection(scanner->input(), scanner->output().get());
    auto other = std::make_shared<platform::camera::AVMetadataMachineReadableCodeObject>(
        platform::camera::AVMetadataObjectTypeQRCode, std::string("http://elsewhere/x"), CGRectZero,
        std::vector<CGPoint>{});
    scanner->captureOutput(*scanner->output(), {other}, connection);
    scanner->captureOutput(*scanner->output(), {}, connection);
    time.advance(0.5);
    ASSERT_EQ(opener->urls.size(), 1u);
    EXPECT_EQ(opener->urls[0], kLookup);
    EXPECT_EQ(plays("touchStart"), 1u);
}

TEST_F(QRScannerTest, TheBackButtonClosesTheScannerStopsTheCameraAndTellsNobody) {
    camera({kavtest::plainPicture(200, 200, 0x808080),
            kavtest::qrScene(300, 300, {{kLookup, 10, 10}})});
    // One picture a second: the code's picture is due a second after the
    // first, so it cannot have been taken before the back tap at 0.4 s
    // however the capture thread and the slide-in interleave.
    kavtest::ScopedEnv rate("KAV_CAMERA_RATE", "1");
    openScanner();
    ASSERT_TRUE(waitFrames(1));
    EXPECT_EQ(scanner->session()->deliveredFrames(), 1u);
    auto* back = UIDriver::viewWithTag<UIButton>(QRcodeViewController::kTagBack);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(UIDriver::isVisible(back));
    UIDriver::tap(back);
    EXPECT_FALSE(scanner->session()->isRunning());
    time.advance(0.5);
    EXPECT_FALSE(scannerShown());
    time.advance(1.5);  // the code's picture would have come by now
    time.drain();
    EXPECT_EQ(scanner->session()->deliveredFrames(), 1u) << "the stopped camera took no more";
    EXPECT_TRUE(opener->urls.empty());
    EXPECT_EQ(plays("touchStart"), 0u);
}

TEST_F(QRScannerTest, WithoutACameraAnAlertSaysSoAndTheBackButtonStillWorks) {
    kavtest::ScopedEnv noCamera("KAV_CAMERA", nullptr);
    kavtest::ScopedEnv noSource("KAV_CAMERA_PIPELINE", nullptr);
    // Whatever this machine has: the camera named is no capture device.
    kavtest::writePNG(temp / "video0", kavtest::plainPicture(4, 4, 0));
    kavtest::ScopedEnv noDevice("KAV_CAMERA_DEVICE", (temp / "video0").c_str());
    openScanner();
    EXPECT_EQ(scanner->session(), nullptr);
    EXPECT_EQ(scanner->preview(), nullptr);
    EXPECT_EQ(topAlertMessage(), QRcodeViewController::kNoCameraMessage);
    snapshot("qr-scanner-no-camera");
    ASSERT_TRUE(tapAlertButton("确定"));
    EXPECT_EQ(alertCount(), 0u);
    EXPECT_TRUE(scannerShown()) << "the scanner stays until the user leaves it";
    UIDriver::tap(UIDriver::viewWithTag<UIButton>(QRcodeViewController::kTagBack));
    time.advance(0.5);
    EXPECT_FALSE(scannerShown());
    EXPECT_TRUE(opener->urls.empty());
}

TEST_F(QRScannerTest, ALiveCameraThatFailsStopsWithAnAlertNamingTheCauseAndBackStillWorks) {
    struct Case {
        std::string source;
        const char* message;
        const char* shot;
    };
    kavtest::writePNG(temp / "frame0.png", kavtest::plainPicture(320, 240, 0x506070));
    kavtest::writePNG(temp / "frame1.png", kavtest::plainPicture(320, 240, 0x607080));
    const std::vector<Case> cases = {
        // A camera that cannot be opened.
        {"filesrc location=" + (temp / "missing.png").string() + " ! pngdec",
         platform::camera::kCameraCannotOpenMessage, "qr-scanner-camera-failed"},
        // Two pictures and the stream ends: unplugged while scanning.
        {"multifilesrc location=" + (temp / "frame%d.png").string() +
             " caps=image/png,framerate=10/1 ! pngdec",
         platform::camera::kCameraGoneMessage, "qr-scanner-camera-gone"},
    };
    kavtest::ScopedEnv noPictures("KAV_CAMERA", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        kavtest::ScopedEnv source("KAV_CAMERA_PIPELINE", c.source.c_str());
        openScanner();
        ASSERT_NE(scanner->session(), nullptr);
        ASSERT_NE(scanner->device()->stream(), nullptr);
        for (int tick = 0; tick < 100 && alertCount() == 0; ++tick) {
            time.runUntil([&] { return alertCount() > 0; }, 0.05);
            time.advance(0.04);
        }
        ASSERT_EQ(alertCount(), 1u);
        EXPECT_EQ(topAlertMessage(), c.message);
        EXPECT_FALSE(scanner->session()->isRunning());
        snapshot(c.shot);
        const uint64_t delivered = scanner->session()->deliveredFrames();
        ASSERT_TRUE(tapAlertButton("确定"));
        EXPECT_TRUE(scannerShown()) << "the scanner stays until the user leaves it";
        UIDriver::tap(UIDriver::viewWithTag<UIButton>(QRcodeViewController::kTagBack));
        time.advance(0.5);
        EXPECT_FALSE(scannerShown());
        time.runUntil([] { return false; }, 0.1);
        time.drain();
        EXPECT_EQ(scanner->session()->deliveredFrames(), delivered);
        EXPECT_TRUE(opener->urls.empty());
        EXPECT_EQ(alertCount(), 0u);
        scanner.reset();
    }
}

}  // namespace
