#include "app/QRcodeViewController.h"

#include <any>

#include "platform/Log.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Transaction.h"
#include "ui/services/KAVSound.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;
namespace camera = platform::camera;

QRcodeViewController::QRcodeViewController() = default;

QRcodeViewController::~QRcodeViewController() {
    if (session_) session_->stopRunning();
}

void QRcodeViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    kavSound_ = std::make_unique<KAVSound>("touchStart");

    setTitle(kTitle);
    if (auto* nav = navigationController()) nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    view()->setBackgroundColor(kavtheme::screenBackground());

    auto back = std::make_shared<UIButton>(CGRectMake(0, 0, 24, 24));
    back->setTag(kTagBack);
    back->setBackgroundImage(
        UIImageTintColor::imageWithTintColor(kavtheme::dimText(), "nav_backicon"),
        UIControlStateNormal);
    back->titleLabel()->setFont(UIFont::systemFontOfSize(14));
    back->addTarget(weakSelf<QRcodeViewController>(), &QRcodeViewController::viewPressed,
                    UIControlEventTouchUpInside);
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithCustomView(back));

    setupCamera();
}

void QRcodeViewController::setupCamera() {
    device_ = camera::AVCaptureDevice::defaultDeviceWithMediaType(camera::AVMediaTypeVideo);
    platform::Error error;
    input_ = camera::AVCaptureDeviceInput::deviceInputWithDevice(device_, &error);
    if (!input_) {
        platform::log("二维码扫描：" + error.localizedDescription);
        KAVAlertView::showAlertWithTitle("提示", kNoCameraMessage, std::string("确定"), nullptr);
        return;
    }
    output_ = std::make_shared<camera::AVCaptureMetadataOutput>();
    output_->setMetadataObjectsDelegate(weakSelf<camera::AVCaptureMetadataOutputObjectsDelegate>());
    session_ = std::make_shared<camera::AVCaptureSession>();
    // A camera that fails while the screen is up (busy, refusing the
    // format, unplugged) has stopped: the user is told why and leaves by the
    // back button. The token goes with the screen.
    sessionErrorObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        camera::AVCaptureSessionRuntimeErrorNotification, [this](const platform::Notification& n) {
            const auto* session =
                std::any_cast<std::shared_ptr<camera::AVCaptureSession>>(&n.object);
            if (!session || *session != session_) return;
            std::string message = kNoCameraMessage;
            if (auto found = n.userInfo.find(camera::AVCaptureSessionErrorKey);
                found != n.userInfo.end()) {
                if (const auto* error = std::any_cast<platform::Error>(&found->second))
                    message = error->localizedDescription;
            }
            platform::log("二维码扫描：" + message);
            KAVAlertView::showAlertWithTitle("提示", message, std::string("确定"), nullptr);
        });
    session_->setSessionPreset(camera::AVCaptureSessionPresetHigh);
    if (session_->canAddInput(input_)) session_->addInput(input_);
    if (session_->canAddOutput(output_)) session_->addOutput(output_);
    output_->setMetadataObjectTypes({camera::AVMetadataObjectTypeQRCode});

    preview_ = camera::AVCaptureVideoPreviewLayer::layerWithSession(session_);
    preview_->setVideoGravity(camera::AVLayerVideoGravityResizeAspectFill);
    preview_->setFrame(CGRectMake(0, 0, view()->bounds().size.width, view()->bounds().size.height));
    view()->layer().addSublayer(preview_);
    session_->startRunning();
}

void QRcodeViewController::viewDidLayoutSubviews() {
    BaseViewController::viewDidLayoutSubviews();
    if (!preview_) return;
    // The picture follows the view at once (a free-standing layer would
    // otherwise glide to its new frame).
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    preview_->setFrame(view()->bounds());
    CATransaction::commit();
}

void QRcodeViewController::viewWillDisappear(bool animated) {
    // However the screen goes, the camera goes with it.
    if (session_) session_->stopRunning();
    BaseViewController::viewWillDisappear(animated);
}

void QRcodeViewController::viewPressed(UIControl*) {
    dismissViewControllerAnimated(true);
}

void QRcodeViewController::captureOutput(
    camera::AVCaptureOutput&, const std::vector<camera::AVMetadataObjectPtr>& metadataObjects,
    camera::AVCaptureConnection&) {
    if (didRead_) return;  // one code per opening: a second batch may already be on its way
    // While the scanner still slides in it cannot close yet: the code is
    // read again from one of the next pictures.
    if (!isVisible()) return;
    didRead_ = true;
    std::optional<std::string> text;
    if (!metadataObjects.empty()) {
        if (auto code = std::dynamic_pointer_cast<camera::AVMetadataMachineReadableCodeObject>(
                metadataObjects.front()))
            text = code->stringValue();
    }
    if (session_) session_->stopRunning();
    if (kavSound_) kavSound_->play();
    // The delegate acts once the scanner is gone; the scanner itself may be
    // gone by then, so the completion holds only what it hands over.
    std::weak_ptr<QRcodeViewControllerDelegate> delegate = scanDelegate_;
    dismissViewControllerAnimated(true, [delegate, text] {
        if (auto d = delegate.lock()) d->onScanWithURL(text);
    });
}
