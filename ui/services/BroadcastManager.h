#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>

#include "platform/NotificationCenter.h"
#include "ui/services/Listeners.h"

// The action names of the event bus; the payload's `obj` holds the changed
// records that the push carried.
inline constexpr const char* kActionReceiveTradeQuotation = "Action_ReceiveTradeQuotation";
inline constexpr const char* kActionReceiveAccountChange = "Action_ReceiveAccountChange";
inline constexpr const char* kActionReceiveHoldBillChange = "Action_ReceiveHoldBillChange";
inline constexpr const char* kActionReceiveHoldPositionChange = "Action_ReceiveHoldPositionChange";
inline constexpr const char* kActionReceiveLimitBillChange = "Action_ReceiveLimitBillChange";
inline constexpr const char* kActionReceiveCloseBillChange = "Action_ReceiveCloseBillChange";

// The payload of a broadcast.
struct MoMessage {
    int32_t what = 0;
    int32_t arg1 = 0;
    int32_t arg2 = 0;
    std::any obj;
    // The action it was last posted under (postMessage sets it); named in the
    // line objAs() logs when the payload is not what a reader expects.
    std::string action;

    // The message a broadcast carries; null for a notice that carries none.
    // A notice that carries something else under a bus action is a poster's
    // fault: it is logged, and no listener hears it.
    static std::shared_ptr<MoMessage> of(const platform::Notification& notification) {
        const auto* message = std::any_cast<std::shared_ptr<MoMessage>>(&notification.object);
        if (message) return *message;
        if (notification.object.has_value())
            logForeignNotice(notification.name, notification.object.type());
        return nullptr;
    }
    // `obj` as the T the reader expects of the action. The one way readers
    // take the payload: a payload of another type (or none) is the poster's
    // fault, logged with the action and both types, and the reader gets null
    // rather than a silent miss or a wrong cast.
    template <typename T>
    const T* objAs() const {
        if (const T* payload = std::any_cast<T>(&obj)) return payload;
        logWrongPayload(typeid(T));
        return nullptr;
    }

  private:
    void logWrongPayload(const std::type_info& expected) const;
    static void logForeignNotice(const std::string& name, const std::type_info& carried);
};

// The in-process event bus. Delivery is synchronous on the posting thread
// (the main thread): every listener has handled a broadcast when
// postMessage() returns. Listeners are held weakly and keyed by observer and
// action, so a screen that is gone is never called and one that registers
// twice still hears each broadcast once.
class BroadcastManager {
  public:
    // `selector`: a method of T taking the notification (or nothing).
    template <typename T, typename Method>
    requires std::is_member_function_pointer_v<Method>
    static void addBroadcastListenerWithObserver(const std::shared_ptr<T>& observer,
                                                 Method selector, const std::string& action) {
        listeners::add(observer, action, selector);
    }
    static void addBroadcastListenerWithObserver(const std::weak_ptr<const void>& observer,
                                                 listeners::Block block,
                                                 const std::string& action) {
        listeners::add(observer, action, std::move(block));
    }
    static void removeBroadcastListenerWithObserver(const void* observer,
                                                    const std::string& action) {
        listeners::remove(observer, action);
    }
    static void postMessage(std::shared_ptr<MoMessage> message, const std::string& action);

    // A subscription owned by a token: a screen keeps the token as a member,
    // sets it when it starts listening and resets it when it stops; a screen
    // that is gone is never called (the owner is held weakly). `method`
    // receives the broadcast's message; a notice without one is ignored.
    template <typename T>
    [[nodiscard]] static platform::ObserverToken listen(const std::string& action,
                                                        std::weak_ptr<T> owner,
                                                        void (T::*method)(const MoMessage&)) {
        return platform::NotificationCenter::defaultCenter().addObserver(
            action, [owner = std::move(owner), method](const platform::Notification& n) {
                auto self = owner.lock();
                auto message = MoMessage::of(n);
                if (self && message) ((*self).*method)(*message);
            });
    }
};
