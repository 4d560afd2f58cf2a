#include "platform/ui/Transaction.h"

#include "platform/Dispatch.h"
#include "platform/RunLoop.h"
#include "platform/ui/Layer.h"
#include "platform/ui/detail/TransactionStack.h"

namespace platform::ui {

namespace detail {

void AnimGroup::animationStopped(bool finished, bool fromTimer) {
    --pending;
    if (!finished) interrupted = true;
    if (committed && pending == 0 && done) {
        auto fn = std::move(done);
        done = nullptr;
        const bool ok = !interrupted;
        if (fromTimer)
            fn(ok);
        else
            dispatch::async_main([fn = std::move(fn), ok] { fn(ok); });
    }
}

void AnimGroup::commit() {
    committed = true;
    if (pending == 0 && done) {
        auto fn = std::move(done);
        done = nullptr;
        const bool ok = !interrupted;
        dispatch::async_main([fn = std::move(fn), ok] { fn(ok); });
    }
}

std::vector<TransactionFrame>& transactionStack() {
    static std::vector<TransactionFrame> stack;
    return stack;
}

void pushFrame(TransactionFrame frame) {
    transactionStack().push_back(std::move(frame));
}

void popFrame() {
    auto& stack = transactionStack();
    if (stack.empty()) return;
    TransactionFrame frame = std::move(stack.back());
    stack.pop_back();
    if (frame.viewAnimation && frame.viewDuration > 0) {
        // The block set every model value at once; each changed value is now
        // animated from what was drawn when the block began.
        const double begin = platform::clock().now() + frame.viewDelay;
        for (auto& cap : frame.captures) {
            auto layer = cap.layer.lock();
            if (!layer) continue;
            AnimValue to = layer->modelValueForKeyPath(cap.keyPath);
            if (to == cap.from) continue;
            auto anim = CABasicAnimation::animationWithKeyPath(cap.keyPath);
            anim->fromValue = cap.from;
            anim->toValue = to;
            anim->duration = frame.viewDuration;
            anim->beginTime = begin;
            anim->timingFunction = frame.viewTiming;
            anim->fillMode = kCAFillModeBackwards;
            // Join this frame's group, not an outer transaction's.
            stack.push_back(TransactionFrame{});
            stack.back().group = frame.group;
            layer->addAnimationInternal(anim, cap.keyPath, !frame.allowInteraction);
            stack.pop_back();
        }
    }
    if (frame.completion) {
        auto user = frame.completion;
        auto previous = std::move(frame.group->done);
        frame.group->done = [user, previous](bool finished) {
            if (previous) previous(finished);
            user();
        };
    }
    frame.group->commit();
}

}  // namespace detail

void CATransaction::begin() {
    detail::pushFrame(detail::TransactionFrame{});
}
void CATransaction::commit() {
    detail::popFrame();
}

void CATransaction::setDisableActions(bool disable) {
    auto& s = detail::transactionStack();
    if (!s.empty()) s.back().disableActions = disable;
}

bool CATransaction::disableActions() {
    for (auto& f : detail::transactionStack())
        if (f.disableActions) return true;
    return false;
}

void CATransaction::setAnimationDuration(double seconds) {
    auto& s = detail::transactionStack();
    if (!s.empty()) s.back().duration = seconds;
}

double CATransaction::animationDuration() {
    auto& s = detail::transactionStack();
    for (auto it = s.rbegin(); it != s.rend(); ++it)
        if (it->duration) return *it->duration;
    return 0.25;
}

void CATransaction::setAnimationTimingFunction(const CAMediaTimingFunction& f) {
    auto& s = detail::transactionStack();
    if (!s.empty()) s.back().timing = f;
}

void CATransaction::setCompletionBlock(std::function<void()> block) {
    auto& s = detail::transactionStack();
    if (!s.empty()) s.back().completion = std::move(block);
}

}  // namespace platform::ui
