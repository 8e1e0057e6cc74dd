#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace foundation;

namespace {
int senderA, senderB;
int observerOne, observerTwo, observerThree;
} // namespace

TEST(NotificationCenter, DeliversInRegistrationOrderAndFiltersBySender)
{
    NotificationCenter center;
    std::vector<std::string> calls;
    center.addObserver(&observerOne, "Saved", nullptr, [&](const Notification&) { calls.push_back("any"); });
    center.addObserver(&observerTwo, "Saved", &senderA, [&](const Notification& n) {
        EXPECT_EQ(n.object(), &senderA);
        calls.push_back("A");
    });
    center.addObserver(&observerThree, "", nullptr, [&](const Notification& n) { calls.push_back("all:" + n.name()); });

    center.postNotificationName("Saved", &senderA);
    center.postNotificationName("Saved", &senderB);
    center.postNotificationName("Deleted", &senderA);

    EXPECT_EQ(calls, (std::vector<std::string> { "any", "A", "all:Saved", "any", "all:Saved", "all:Deleted" }));
}

TEST(NotificationCenter, ObserversRemovedDuringAPostAreNotCalledAfterwards)
{
    NotificationCenter center;
    std::vector<int> calls;
    center.addObserver(&observerOne, "N", nullptr, [&](const Notification&) {
        calls.push_back(1);
        center.removeObserver(&observerOne); // itself
        center.removeObserver(&observerTwo); // a later one
        center.addObserver(&observerThree, "N", nullptr, [&](const Notification&) { calls.push_back(3); });
    });
    center.addObserver(&observerTwo, "N", nullptr, [&](const Notification&) { calls.push_back(2); });

    center.postNotificationName("N", nullptr);
    EXPECT_EQ(calls, std::vector<int> { 1 });
    center.postNotificationName("N", nullptr);
    EXPECT_EQ(calls, (std::vector<int> { 1, 3 }));
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationCenter, RemovalByNameAndObjectLeavesOtherRegistrations)
{
    NotificationCenter center;
    int count = 0;
    center.addObserver(&observerOne, "Start", &senderA, [&](const Notification&) { count += 1; });
    center.addObserver(&observerOne, "Stop", &senderA, [&](const Notification&) { count += 10; });
    center.addObserver(&observerOne, "Stop", &senderB, [&](const Notification&) { count += 100; });

    center.removeObserver(&observerOne, "Stop", &senderA);
    center.postNotificationName("Start", &senderA);
    center.postNotificationName("Stop", &senderA);
    center.postNotificationName("Stop", &senderB);
    EXPECT_EQ(count, 101);
}

TEST(NotificationCenter, RegistrationFromManyThreadsWhilePosting)
{
    NotificationCenter center;
    std::atomic<int> delivered { 0 };
    std::vector<std::thread> threads;
    std::vector<int> observers(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                center.addObserver(&observers[t], "Tick", nullptr, [&](const Notification&) { ++delivered; });
                center.postNotificationName("Tick", nullptr);
                center.removeObserver(&observers[t]);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(center.observerCount(), 0u);
    EXPECT_GE(delivered.load(), 8 * 200);
}
