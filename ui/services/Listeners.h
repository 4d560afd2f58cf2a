#pragma once

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/NotificationCenter.h"

// The registrations of the event bus and the named notices on the default
// notification centre, kept by owner and name. A listener is held by a weak
// reference: once its owner is gone it is never called, and its registration
// is dropped the next time the table changes. One owner has at most one
// registration per name, so registering again replaces it instead of
// doubling every delivery; it keeps its turn, so an owner registered again
// while a notice is delivered still hears that notice once.
namespace listeners {

using Block = std::function<void(const platform::Notification&)>;

// Registers `block` for notices named `name` for as long as `owner` lives;
// the owner is kept alive while the block runs.
void add(const std::weak_ptr<const void>& owner, const std::string& name, Block block);
// The same with a method of the owner, taking the notification or nothing;
// nothing is registered for a null method.
template <typename T, typename Method>
requires std::is_member_function_pointer_v<Method>
void add(const std::shared_ptr<T>& owner, const std::string& name, Method method) {
    if (!owner || !method) return;
    // Called only while the table holds the owner alive.
    T* target = owner.get();
    add(std::weak_ptr<const void>(owner), name, [target, method](const platform::Notification& n) {
        if constexpr (std::is_invocable_v<Method, T*, const platform::Notification&>) {
            (target->*method)(n);
        } else {
            (target->*method)();
        }
    });
}
void remove(const void* owner, const std::string& name);
// Number of live registrations of the owner (tests and diagnostics).
size_t count(const void* owner);

}  // namespace listeners
