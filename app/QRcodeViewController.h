#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/NotificationCenter.h"
#include "platform/camera/CaptureSession.h"
#include "platform/camera/PreviewLayer.h"
#include "platform/ui/Control.h"
#include "ui/toolkit/BaseViewController.h"

class KAVSound;

// Told of the code the scanner read, once the scanner is gone.
class QRcodeViewControllerDelegate {
  public:
    virtual ~QRcodeViewControllerDelegate() = default;
    // The code's text; nothing when the code held no readable text.
    virtual void onScanWithURL(const std::optional<std::string>& url) = 0;
};

// Reads one QR code with the camera and hands its text to its delegate: the
// camera's picture fills the screen; the first code read once the screen is
// in place stops the camera,
// sounds, and closes the scanner, and only then is the delegate told. One
// code per opening: whatever the camera still delivers is ignored. Leaving
// the screen by its back button stops the camera and tells nobody. Without a
// camera an alert says so, and a camera that fails while scanning stops with
// an alert naming the cause; the back button still closes the screen.
class QRcodeViewController : public BaseViewController,
                             public platform::camera::AVCaptureMetadataOutputObjectsDelegate {
  public:
    static constexpr long kTagBack = 1001;
    static constexpr const char* kTitle = "扫描二维码";
    static constexpr const char* kNoCameraMessage = "未找到可用的摄像头。";

    QRcodeViewController();
    ~QRcodeViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override {}

    // Makes the camera's session, its QR reader and its preview, and starts
    // it; without a camera shows the alert instead.
    void setupCamera();
    // The back button.
    void viewPressed(platform::ui::UIControl* sender);
    void captureOutput(platform::camera::AVCaptureOutput& output,
                       const std::vector<platform::camera::AVMetadataObjectPtr>& metadataObjects,
                       platform::camera::AVCaptureConnection& connection) override;

    // Not owned.
    std::shared_ptr<QRcodeViewControllerDelegate> scanDelegate() const {
        return scanDelegate_.lock();
    }
    void setScanDelegate(std::weak_ptr<QRcodeViewControllerDelegate> d) {
        scanDelegate_ = std::move(d);
    }

    const std::shared_ptr<platform::camera::AVCaptureDevice>& device() const { return device_; }
    const std::shared_ptr<platform::camera::AVCaptureDeviceInput>& input() const { return input_; }
    const std::shared_ptr<platform::camera::AVCaptureMetadataOutput>& output() const {
        return output_;
    }
    const std::shared_ptr<platform::camera::AVCaptureSession>& session() const { return session_; }
    const std::shared_ptr<platform::camera::AVCaptureVideoPreviewLayer>& preview() const {
        return preview_;
    }

  private:
    std::unique_ptr<KAVSound> kavSound_;
    std::weak_ptr<QRcodeViewControllerDelegate> scanDelegate_;
    std::shared_ptr<platform::camera::AVCaptureDevice> device_;
    std::shared_ptr<platform::camera::AVCaptureDeviceInput> input_;
    std::shared_ptr<platform::camera::AVCaptureMetadataOutput> output_;
    std::shared_ptr<platform::camera::AVCaptureSession> session_;
    std::shared_ptr<platform::camera::AVCaptureVideoPreviewLayer> preview_;
    platform::ObserverToken sessionErrorObserver_;
    // Set by the first code read: the scanner acts on one code only.
    bool didRead_ = false;
};
