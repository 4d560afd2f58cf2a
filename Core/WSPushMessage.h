#pragma once

// The delegate protocol of the trading service object. Every method is
// optional: a receiver overrides the ones it wants and leaves the rest.
// The service object calls through notifyDelegate(), which learns from the
// call itself whether the receiver implements the method (the defaults mark
// the call as not implemented) and writes "<method> 回调函数未定义" where
// the call site asks for it.

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "Core/Model/MODBulletin.h"
#include "Core/Model/MODCERInfo.h"
#include "Core/Model/MODCloseBill.h"
#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODHoldPosition.h"
#include "Core/Model/MODLimitBill.h"
#include "Core/Model/MODRiskInfo.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/Model/MODUserAccount.h"
#include "Core/NetworkStatus.h"

// Where a call site writes "<method> 回调函数未定义".
struct WSPushRule {
    bool logWhenLacking;     // a delegate is set but lacks the method
    bool logWhenNoDelegate;  // no delegate is set
};
// Record pushes and the quote report.
inline constexpr WSPushRule kWSPushReport{true, false};
// Same-user login, session end, network unready, onLogin, onLogout.
inline constexpr WSPushRule kWSPushAlwaysLog{true, true};
// Re-pricing reports.
inline constexpr WSPushRule kWSPushSilent{false, false};
// onNetworkStatus.
inline constexpr WSPushRule kWSPushStatus{false, true};

template <typename T>
using MODList = std::vector<std::shared_ptr<T>>;

class WSPushMessage {
  public:
    virtual ~WSPushMessage() = default;

    // Network status: the code of a NetworkStatus, or any other code a
    // server's status push carries (networkStatusFromCode tells them apart).
    virtual void onNetworkStatus(int32_t /*status*/) { notImplemented(); }
    virtual void onSameUserLogin() { notImplemented(); }
    virtual void onTerminal() { notImplemented(); }
    virtual void onNetworkUnready() { notImplemented(); }
    virtual void onQuotedReceived(const MODList<MODSymbolInfo>& /*symbols*/) { notImplemented(); }
    virtual void onLoginSuccess() { notImplemented(); }
    virtual void onLoginFailure(int32_t /*code*/) { notImplemented(); }
    virtual void onAccountChange(const MODList<MODUserAccount>& /*accounts*/) { notImplemented(); }
    virtual void onHoldBillChange(const MODList<MODHoldBill>& /*tickets*/) { notImplemented(); }
    virtual void onHoldPositionChange(const MODList<MODHoldPosition>& /*positions*/) {
        notImplemented();
    }
    virtual void onLimitBillChange(const MODList<MODLimitBill>& /*orders*/) { notImplemented(); }
    virtual void onCloseBillChange(const MODList<MODCloseBill>& /*closed*/) { notImplemented(); }
    virtual void onBulletinPush(const MODList<MODBulletin>& /*bulletins*/) { notImplemented(); }
    // One element: the list of risk records of the push.
    virtual void onRiskChange(const std::vector<MODList<MODRiskInfo>>& /*risks*/) {
        notImplemented();
    }
    virtual void onExchangeRateChange(const MODList<MODCERInfo>& /*rates*/) { notImplemented(); }
    virtual void onSymbolChange(const MODList<MODSymbolInfo>& /*symbols*/) { notImplemented(); }
    virtual void onMessagePush(int32_t /*code*/, const std::any& /*model*/) { notImplemented(); }
    virtual void onLogin() { notImplemented(); }
    virtual void onLogout() { notImplemented(); }

  protected:
    // What every default does; a receiver never needs to call it.
    void notImplemented() { lacking_ = true; }

  private:
    friend struct WSPushDispatch;
    bool lacking_ = false;
};

// What notifyDelegate does around the call itself.
struct WSPushDispatch {
    // The flag of an outer call, kept apart while this one runs.
    static bool enter(WSPushMessage& d) {
        const bool outer = d.lacking_;
        d.lacking_ = false;
        return outer;
    }
    // Whether the call found the method; the outer call's flag back.
    static bool leave(WSPushMessage& d, bool outer) {
        const bool implemented = !d.lacking_;
        d.lacking_ = outer;
        return implemented;
    }
    // The log line the rule asks for when there is no delegate, or when it
    // lacks the method.
    static void noDelegate(std::string_view method, WSPushRule rule);
    static void lacking(std::string_view method, WSPushRule rule);
};

// notifyDelegate with the call made directly, for reports made on every
// quote: no std::function is made, and the caller holds the delegate.
template <typename Call>
bool notifyDelegateNow(WSPushMessage* delegate, std::string_view method, WSPushRule rule,
                       Call&& call) {
    if (!delegate) {
        WSPushDispatch::noDelegate(method, rule);
        return false;
    }
    const bool outer = WSPushDispatch::enter(*delegate);
    call(*delegate);
    const bool implemented = WSPushDispatch::leave(*delegate, outer);
    if (!implemented) WSPushDispatch::lacking(method, rule);
    return implemented;
}

// Calls `call` on the delegate (when there is one) and reports whether the
// delegate implements the method; writes the log line as the rule says.
// `method` is the method's name, e.g. "onLogin".
bool notifyDelegate(const std::shared_ptr<WSPushMessage>& delegate, std::string_view method,
                    WSPushRule rule, const std::function<void(WSPushMessage&)>& call);
