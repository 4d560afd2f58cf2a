#include "platform/camera/CaptureSession.h"

#include <algorithm>

#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/camera/PreviewLayer.h"

namespace platform::camera {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

// ---- metadata output ----

std::vector<std::string> AVCaptureMetadataOutput::availableMetadataObjectTypes() const {
    if (!session_ || session_->inputs().empty()) return {};
    return {AVMetadataObjectTypeQRCode};
}

bool AVCaptureMetadataOutput::setMetadataObjectTypes(const std::vector<std::string>& types) {
    const auto available = availableMetadataObjectTypes();
    for (const auto& type : types) {
        if (!contains(available, type)) {
            platform::log(platform::stringf("不支持的识别类型：%s", type.c_str()));
            return false;
        }
    }
    types_ = types;
    return true;
}

void AVCaptureMetadataOutput::deliver(const CapturedFrame& frame) {
    if (!connection_ || !connection_->isEnabled()) return;
    if (!contains(types_, AVMetadataObjectTypeQRCode) || frame.codes.empty()) return;
    auto delegate = delegate_.lock();
    if (!delegate) return;
    const double w = frame.width > 0 ? frame.width : 1;
    const double h = frame.height > 0 ? frame.height : 1;
    std::vector<AVMetadataObjectPtr> objects;
    objects.reserve(frame.codes.size());
    for (const auto& code : frame.codes) {
        std::vector<platform::ui::CGPoint> corners;
        for (const auto& p : code.corners)
            corners.push_back({p.x / w, p.y / h});
        const platform::ui::CGRect bounds{
            {code.bounds.origin.x / w, code.bounds.origin.y / h},
            {code.bounds.size.width / w, code.bounds.size.height / h}};
        objects.push_back(std::make_shared<AVMetadataMachineReadableCodeObject>(
            AVMetadataObjectTypeQRCode, code.text, bounds, std::move(corners)));
    }
    delegate->captureOutput(*this, objects, *connection_);
}

// ---- session ----

AVCaptureSession::AVCaptureSession()
    : queue_(std::make_unique<platform::dispatch::SerialQueue>("kav.camera.capture")) {}

AVCaptureSession::~AVCaptureSession() {
    // A live camera is released even when nobody stopped the session.
    if (running_ && input_ && input_->device()->stream()) input_->device()->stream()->stop();
    for (const auto& output : outputs_) {
        output->session_ = nullptr;
        output->connection_.reset();
    }
}

bool AVCaptureSession::canSetSessionPreset(const std::string& preset) const {
    return preset == AVCaptureSessionPresetHigh || preset == AVCaptureSessionPresetMedium ||
           preset == AVCaptureSessionPresetLow || preset == AVCaptureSessionPresetPhoto;
}

void AVCaptureSession::setSessionPreset(const std::string& preset) {
    if (!canSetSessionPreset(preset)) {
        platform::log(platform::stringf("不支持的摄像头画质：%s", preset.c_str()));
        return;
    }
    preset_ = preset;
}

bool AVCaptureSession::canAddInput(const std::shared_ptr<AVCaptureDeviceInput>& input) const {
    return input && !input_ && input->device() && input->device()->hasMediaType(AVMediaTypeVideo);
}

void AVCaptureSession::addInput(const std::shared_ptr<AVCaptureDeviceInput>& input) {
    KAV_ASSERT_MAIN_THREAD();
    if (!canAddInput(input)) {
        platform::log("摄像头输入无法加入会话");
        return;
    }
    input_ = input;
    connectOutputs();
    // A camera added to a running session is opened and read at once, as
    // one that was there at the start.
    if (running_) startCapture();
}

void AVCaptureSession::removeInput(const std::shared_ptr<AVCaptureDeviceInput>& input) {
    KAV_ASSERT_MAIN_THREAD();
    if (!input || input != input_) return;
    if (running_) {
        // A live camera taken out of a running session is released now: the
        // stop and the session's end only reach the input it holds. What was
        // being read from it is dropped.
        if (input_->device()->stream()) input_->device()->stream()->stop();
        ++generation_;
        frameInFlight_ = false;
    }
    input_.reset();
    connectOutputs();
}

std::vector<std::shared_ptr<AVCaptureDeviceInput>> AVCaptureSession::inputs() const {
    if (!input_) return {};
    return {input_};
}

bool AVCaptureSession::canAddOutput(const std::shared_ptr<AVCaptureOutput>& output) const {
    return output && !output->session_;
}

void AVCaptureSession::addOutput(const std::shared_ptr<AVCaptureOutput>& output) {
    KAV_ASSERT_MAIN_THREAD();
    if (!canAddOutput(output)) {
        platform::log("摄像头输出无法加入会话");
        return;
    }
    output->session_ = this;
    outputs_.push_back(output);
    connectOutputs();
}

void AVCaptureSession::removeOutput(const std::shared_ptr<AVCaptureOutput>& output) {
    KAV_ASSERT_MAIN_THREAD();
    auto found = std::find(outputs_.begin(), outputs_.end(), output);
    if (found == outputs_.end()) return;
    output->session_ = nullptr;
    output->connection_.reset();
    outputs_.erase(found);
}

void AVCaptureSession::connectOutputs() {
    for (const auto& output : outputs_) {
        if (!input_) {
            output->connection_.reset();
        } else if (!output->connection_ || output->connection_->input() != input_) {
            output->connection_ = std::make_unique<AVCaptureConnection>(input_, output.get());
        }
    }
}

void AVCaptureSession::addPreviewLayer(const std::shared_ptr<AVCaptureVideoPreviewLayer>& layer) {
    std::erase_if(previews_, [](const auto& weak) { return weak.expired(); });
    previews_.push_back(layer);
}

void AVCaptureSession::startRunning() {
    KAV_ASSERT_MAIN_THREAD();
    if (running_) return;
    running_ = true;
    ++generation_;
    frameInFlight_ = false;
    startCapture();
}

void AVCaptureSession::startCapture() {
    if (!input_) return;  // running, but there is nothing to capture
    if (const auto& stream = input_->device()->stream()) {
        std::weak_ptr<AVCaptureSession> weak = weak_from_this();
        const uint64_t generation = generation_;
        stream->start([weak, generation](const platform::Error& error) {
            platform::RunLoop::main().post([weak, generation, error] {
                if (auto self = weak.lock()) self->streamFailed(generation, error);
            });
        });
    }
    const double interval = 1.0 / input_->device()->frameRate();
    std::weak_ptr<AVCaptureSession> weak = weak_from_this();
    frameTimer_ = platform::Timer::schedule(interval, true, [weak] {
        if (auto self = weak.lock()) self->captureNext();
    });
    captureNext();
}

void AVCaptureSession::stopRunning() {
    KAV_ASSERT_MAIN_THREAD();
    if (!running_) return;
    running_ = false;
    ++generation_;
    frameInFlight_ = false;
    frameTimer_.invalidate();
    if (input_ && input_->device()->stream()) input_->device()->stream()->stop();
}

void AVCaptureSession::streamFailed(uint64_t generation, const platform::Error& error) {
    if (generation != generation_ || !running_) return;
    platform::log(platform::stringf("摄像头停止：%s", error.localizedDescription.c_str()));
    stopRunning();
    platform::Notification notice;
    notice.name = AVCaptureSessionRuntimeErrorNotification;
    notice.object = shared_from_this();
    notice.userInfo[AVCaptureSessionErrorKey] = error;
    platform::NotificationCenter::defaultCenter().post(notice);
}

void AVCaptureSession::captureNext() {
    if (!running_ || !input_ || frameInFlight_) return;
    frameInFlight_ = true;
    auto device = input_->device();
    const size_t index = nextFrame_++;
    const uint64_t generation = generation_;
    std::weak_ptr<AVCaptureSession> weak = weak_from_this();
    queue_->async([device, index, generation, weak] {
        auto frame = device->captureFrame(index);
        platform::RunLoop::main().post([weak, generation, frame = std::move(frame)]() mutable {
            if (auto self = weak.lock()) self->deliver(generation, std::move(frame));
        });
    });
}

void AVCaptureSession::deliver(uint64_t generation, std::shared_ptr<const CapturedFrame> frame) {
    if (generation != generation_ || !running_) return;
    frameInFlight_ = false;
    if (!frame) return;  // an unreadable picture is a lost frame
    ++delivered_;
    // A delegate may stop or drop the session while it is told.
    auto keepAlive = shared_from_this();
    for (const auto& weak : std::vector(previews_)) {
        if (auto layer = weak.lock()) layer->showFrame(frame);
    }
    for (const auto& output : std::vector(outputs_)) {
        if (generation != generation_) break;  // stopped by an earlier output's delegate
        if (output->session_ == this) output->deliver(*frame);
    }
}

}  // namespace platform::camera
