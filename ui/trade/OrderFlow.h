#pragma once

// The one road every order of the trading screens takes: a confirmation
// alert (skipped by the one-tap setting where the action allows it), the
// modal overlay while the order runs, one operation of the trading service,
// and a result alert once the overlay is gone.
//
// What the road guarantees, whatever the screen:
// - one confirmation sends at most one order, and a screen has at most one
//   confirmation up and one order outstanding at a time;
// - the overlay is always taken down before the result shows, also when the
//   session drops the order without a word (its result blocks are destroyed
//   unanswered) or another overlay took the shared one over;
// - an order that timed out, or whose channel went away after it was sent,
//   may still have been executed by the dealer: the user is told that its
//   result is unknown, the visible lists reload (kActionOrderResultUnknown),
//   and nothing is sent again by itself.
//
// A screen keeps one OrderFlow as a member; its confirm step calls confirm()
// and its submit step submit(), reading its inputs inside the operation
// (after the confirmation).

#include <functional>
#include <memory>
#include <string>

#include "Core/KAVTypes.h"

class sysDB;

// The six actions that send an order.
enum class OrderAction {
    MarketOpen,      // market order
    CloseTicket,     // market close of one ticket
    CloseSymbol,     // market close of a net position
    ModifyHoldBill,  // stop-loss / take-profit change of a ticket
    LimitOpen,       // new limit or stop order
    CancelLimit,     // cancel of a pending order
};

// Broadcast (no records) when an order's result is unknown: the lists on
// screen load afresh.
inline constexpr const char* kActionOrderResultUnknown = "Action_OrderResultUnknown";

// What the user reads along one action's road.
struct OrderTexts {
    bool oneTapSkipsConfirmation = false;
    std::string confirmTitle;
    std::string confirmMessage;
    std::string overlay;
    std::string resultTitle;
    std::string successMessage;
    std::string failureFormat;  // "%@" takes the failure's message
    std::string unknownFormat;  // "%@" takes the reason the answer is missing
    // The result alerts have the single localised "Ok" button (the cancel);
    // otherwise "确定".
    bool okButtonResult = false;

    // The texts of an action; captions a dealer may rename come from the
    // label table of `labels` (the defaults without one). The cancel's
    // confirmation names the pending order's code.
    static OrderTexts forAction(OrderAction action, const sysDB* labels,
                                const std::string& orderCode = std::string());

    std::string failureMessage(const std::string& message) const;
    std::string unknownMessage(const std::string& reason) const;
};

class OrderFlow {
  public:
    // Runs the order: calls exactly one of the blocks, now or later.
    using Operation = std::function<void(KAVDoneBlock onSuccess, KAVFailureBlock onFailure)>;
    using Step = std::function<void()>;

    // What the screen does at the ends of the road (each may be empty).
    struct Outcome {
        Step succeeded;  // right after the success alert shows (the cancel drops its row)
        Step closed;     // when the success alert has closed (the order screen closes)
        Step unknown;    // after the unknown-result alert shows
    };

    // How an order ended, as the road tells it.
    enum class Result { Success, Failure, Unknown };

    // Why the answer is missing when the session dropped the order.
    static constexpr const char* kDroppedReason = "连接已断开";

    OrderFlow();
    ~OrderFlow();
    OrderFlow(const OrderFlow&) = delete;
    OrderFlow& operator=(const OrderFlow&) = delete;

    // Step 1: with one-tap orders on (read from `settings` now) and an action
    // that allows it, `submit` runs at once; otherwise the confirmation asks,
    // and only its "确定" runs `submit`, once. Nothing while this flow already
    // has a confirmation up or an order outstanding.
    void confirm(const OrderTexts& texts, const std::shared_ptr<sysDB>& settings, Step submit);

    // Steps 2 to 4: the overlay, the operation, the result. False (and
    // nothing shown or sent) while an order of this flow is outstanding.
    bool submit(const OrderTexts& texts, Operation operation, Outcome outcome = {});

    bool isConfirming() const;
    bool isOutstanding() const;

    // Whether a failure reported after the order went out leaves its result
    // open: a time-out, or a channel that was not ready any more.
    static bool isUnknownResult(const std::string& code, bool reportedInsideCall);

    // What the flow knows between its steps (shared with the orders on their way).
    struct State;

  private:
    std::shared_ptr<State> state_;
};
