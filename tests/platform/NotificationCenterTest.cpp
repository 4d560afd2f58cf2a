#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"

using platform::Notification;
using platform::NotificationCenter;
using platform::ObserverToken;

TEST(NotificationCenter, DeliversSynchronouslyToObserversOfThatName) {
    NotificationCenter center;
    std::vector<std::string> got;
    auto a = center.addObserver("sys_4008", [&](const Notification& n) {
        got.push_back("a:" + std::any_cast<std::string>(n.object));
    });
    auto b = center.addObserver("other", [&](const Notification&) { got.push_back("b"); });
    center.post("sys_4008", std::string("x"));
    EXPECT_EQ(got, (std::vector<std::string>{"a:x"}));
}

TEST(NotificationCenter, TokenDestructionUnregisters) {
    NotificationCenter center;
    int calls = 0;
    {
        auto token = center.addObserver("n", [&](const Notification&) { ++calls; });
        center.post("n");
        EXPECT_EQ(center.observerCount("n"), 1u);
    }
    center.post("n");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount("n"), 0u);
}

TEST(NotificationCenter, ObserversAddedOrRemovedDuringDelivery) {
    NotificationCenter center;
    std::vector<std::string> got;
    std::optional<ObserverToken> second;
    std::optional<ObserverToken> late;
    auto first = center.addObserver("n", [&](const Notification&) {
        got.push_back("first");
        second.reset();  // removed before its turn: not called
        if (!late)
            late = center.addObserver("n", [&](const Notification&) { got.push_back("late"); });
    });
    second = center.addObserver("n", [&](const Notification&) { got.push_back("second"); });
    center.post("n");
    EXPECT_EQ(got, (std::vector<std::string>{"first"}));
    center.post("n");
    EXPECT_EQ(got, (std::vector<std::string>{"first", "first", "late"}));
}

TEST(NotificationCenter, TokenOutlivingItsCenterIsHarmless) {
    ObserverToken token;
    {
        NotificationCenter center;
        token = center.addObserver("n", [](const Notification&) {});
        EXPECT_TRUE(token.isActive());
    }
    token.reset();
    EXPECT_FALSE(token.isActive());
}
