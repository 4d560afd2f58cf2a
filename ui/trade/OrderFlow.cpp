#include "ui/trade/OrderFlow.h"

#include <utility>

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "ui/services/BroadcastManager.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"

namespace {

constexpr const char* kCancel = "取消";
constexpr const char* kConfirm = "确定";

std::string fill(const std::string& format, const std::string& value) {
    std::string out = format;
    const auto at = out.find("%@");
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

std::string label(const sysDB* labels, const std::string& caption) {
    return labels ? labels->getLabelWithKey(caption, caption) : caption;
}

// The overlay of this order goes, then `then` runs. When the shared overlay
// no longer shows this order's text (another screen took it over, or it was
// taken down already), it is left alone and `then` runs once a fade-out
// would have ended.
void takeOverlayDown(const std::string& overlay, std::function<void()> then) {
    if (KAVProgressHUD::isVisible() &&
        KAVProgressHUD::sharedView()->stringLabel()->text() == overlay) {
        KAVProgressHUD::dismissWithComplete(std::move(then));
        return;
    }
    platform::dispatch::after(KAVProgressHUD::kFadeDuration, std::move(then));
}

}  // namespace

// ---- texts --------------------------------------------------------------------

OrderTexts OrderTexts::forAction(OrderAction action, const sysDB* labels,
                                 const std::string& orderCode) {
    OrderTexts t;
    t.confirmTitle = "交易提示";
    t.overlay = "正在下单";
    t.resultTitle = "交易提示";
    t.successMessage = "下单成功。";
    t.failureFormat = "下单失败，原因：%@";
    t.unknownFormat =
        "下单结果未知（%@）：该单可能已经成交，请查看持仓和挂单后再操作；系统不会自动重新提交。";
    switch (action) {
        case OrderAction::MarketOpen:
            t.oneTapSkipsConfirmation = true;
            t.confirmMessage =
                std::string() + "确定要提交" + label(labels, "市价建仓") + "吗" + "?";
            break;
        case OrderAction::CloseTicket:
        case OrderAction::CloseSymbol:
            t.oneTapSkipsConfirmation = true;
            t.confirmMessage = std::string() + "确定要进行市价平仓" + "?";
            break;
        case OrderAction::ModifyHoldBill:
            t.oneTapSkipsConfirmation = true;
            t.confirmMessage = std::string() + "确定要修改持有合同" + "?";
            t.resultTitle = "下单提示";
            break;
        case OrderAction::LimitOpen:
            t.confirmMessage = std::string() + "确定要提交" + label(labels, "限价建仓") + "?";
            t.overlay = "正在提交";
            t.resultTitle = "下单提示";
            break;
        case OrderAction::CancelLimit:
            t.confirmTitle = "确认";
            t.confirmMessage = "确定要撤消此单吗？（单号：" + orderCode + "）";
            t.overlay = "正在撤单";
            t.resultTitle = "提示";
            t.successMessage = "撤单操作成功";
            t.failureFormat = "撤单失败，原因：%@";
            t.unknownFormat =
                "撤单结果未知（%@"
                "）：该挂单可能已经撤消，请查看挂单列表后再操作；系统不会自动重新提交。";
            t.okButtonResult = true;
            break;
    }
    return t;
}

std::string OrderTexts::failureMessage(const std::string& message) const {
    return fill(failureFormat, message);
}

std::string OrderTexts::unknownMessage(const std::string& reason) const {
    return fill(unknownFormat, reason);
}

// ---- the road ---------------------------------------------------------------

struct OrderFlow::State {
    bool confirming = false;
    bool outstanding = false;
};

namespace {

// One order on its way: settled by the first answer, or by the loss of both
// result blocks without one.
struct PendingOrder {
    std::shared_ptr<OrderFlow::State> flow;
    OrderTexts texts;
    OrderFlow::Outcome outcome;
    bool settled = false;
    bool insideCall = true;
};

void showResult(const std::shared_ptr<PendingOrder>& order, OrderFlow::Result result,
                const std::string& message) {
    takeOverlayDown(order->texts.overlay, [order, result, message] {
        const OrderTexts& t = order->texts;
        auto plainOrConfirm = [&t](const std::string& text, KAVAlertView::Completion done) {
            if (t.okButtonResult)
                KAVAlertView::showAlertWithTitle(t.resultTitle, text);
            else
                KAVAlertView::showAlertWithTitle(t.resultTitle, text, std::string(kConfirm),
                                                 std::move(done));
        };
        switch (result) {
            case OrderFlow::Result::Success: {
                auto closed = order->outcome.closed;
                plainOrConfirm(t.successMessage, [closed](bool, long) {
                    if (closed) closed();
                });
                if (order->outcome.succeeded) order->outcome.succeeded();
                break;
            }
            case OrderFlow::Result::Failure:
                plainOrConfirm(t.failureMessage(message), nullptr);
                break;
            case OrderFlow::Result::Unknown:
                plainOrConfirm(t.unknownMessage(message), nullptr);
                BroadcastManager::postMessage(std::make_shared<MoMessage>(),
                                              kActionOrderResultUnknown);
                if (order->outcome.unknown) order->outcome.unknown();
                break;
        }
    });
}

// Marks the order answered; false when it was answered before.
bool settle(PendingOrder& order) {
    if (order.settled) return false;
    order.settled = true;
    order.flow->outstanding = false;
    return true;
}

// Shared by the two result blocks: when the last copy goes without an
// answer (the session dropped the request), the order is settled as unknown.
struct AnswerGuard {
    std::shared_ptr<PendingOrder> order;
    ~AnswerGuard() {
        if (!settle(*order)) return;
        platform::log("委托未获应答即被撤销：" + order->texts.overlay);
        // Never inside whoever dropped the blocks.
        platform::dispatch::async_main([order = order] {
            showResult(order, OrderFlow::Result::Unknown, OrderFlow::kDroppedReason);
        });
    }
};

}  // namespace

OrderFlow::OrderFlow() : state_(std::make_shared<State>()) {}
OrderFlow::~OrderFlow() = default;

bool OrderFlow::isConfirming() const {
    return state_->confirming;
}

bool OrderFlow::isOutstanding() const {
    return state_->outstanding;
}

bool OrderFlow::isUnknownResult(const std::string& code, bool reportedInsideCall) {
    if (code == kKAVTimeOut.code) return true;
    return code == kKAVNotReady.code && !reportedInsideCall;
}

void OrderFlow::confirm(const OrderTexts& texts, const std::shared_ptr<sysDB>& settings,
                        Step submit) {
    KAV_ASSERT_MAIN_THREAD();
    if (state_->confirming || state_->outstanding || !submit) return;
    const bool oneTap = settings && settings->valueWithTag(settingTag::isFlashOrder, "0") == "1";
    if (texts.oneTapSkipsConfirmation && oneTap) {
        submit();
        return;
    }
    state_->confirming = true;
    std::weak_ptr<State> flow = state_;
    auto once = std::make_shared<Step>(std::move(submit));
    KAVAlertView::showAlertWithTitle(texts.confirmTitle, texts.confirmMessage, std::string(kCancel),
                                     std::string(kConfirm), [flow, once](bool cancelled, long) {
                                         if (auto state = flow.lock()) state->confirming = false;
                                         if (cancelled || !*once) return;
                                         Step run = std::exchange(*once, nullptr);
                                         run();
                                     });
}

bool OrderFlow::submit(const OrderTexts& texts, Operation operation, Outcome outcome) {
    KAV_ASSERT_MAIN_THREAD();
    if (state_->outstanding || !operation) return false;
    state_->outstanding = true;
    auto order = std::make_shared<PendingOrder>();
    order->flow = state_;
    order->texts = texts;
    order->outcome = std::move(outcome);
    KAVProgressHUD::showWithStatus(texts.overlay, KAVProgressHUDMaskTypeBlack);

    auto guard = std::make_shared<AnswerGuard>();
    guard->order = order;
    KAVDoneBlock onSuccess = [guard] {
        if (settle(*guard->order)) showResult(guard->order, Result::Success, std::string());
    };
    KAVFailureBlock onFailure = [guard](const std::string& code, const std::string& message) {
        auto& pending = guard->order;
        if (!settle(*pending)) return;
        const bool unknown = isUnknownResult(code, pending->insideCall);
        if (unknown) platform::log("委托结果未知：" + code + " " + message);
        showResult(pending, unknown ? Result::Unknown : Result::Failure, message);
    };
    guard.reset();  // from here only the two blocks hold it
    operation(std::move(onSuccess), std::move(onFailure));
    order->insideCall = false;
    return true;
}
