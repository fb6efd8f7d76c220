// The communication ring through the table the module calls.
#include <minihost/host.h>
#include <minihost/ring.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Listener {
    std::vector<int> events;
    // Optional action run when this listener receives a message.
    const RingFuncs* ring = nullptr;
    void* detachOnEvent = nullptr;
};

int32_t record(void* data, void*, int32_t event, void* payload) {
    auto* self = static_cast<Listener*>(data);
    self->events.push_back(event);
    if (payload)
        ++*static_cast<int*>(payload);
    if (self->detachOnEvent)
        self->ring->detach("topic", self->detachOnEvent);
    return 0;
}

class RingTest : public testing::Test {
  protected:
    minihost::Host host;
    const RingFuncs& ring =
        *static_cast<RingFuncs*>(minihost::Host::lookup("Communication Ring", 0));
};

TEST_F(RingTest, MessageReachesEveryAttachmentOfItsTopicOnlyBeforeReturning) {
    Listener a, b, other;
    ring.attach("topic", &a, record);
    ring.attach("topic", &b, record);
    ring.attach("elsewhere", &other, record);
    int delivered = 0;
    ring.message("topic", 7, &delivered);
    EXPECT_EQ(delivered, 2);
    EXPECT_EQ(a.events, std::vector<int>{7});
    EXPECT_EQ(b.events, std::vector<int>{7});
    EXPECT_TRUE(other.events.empty());
    ring.message("nobody-listens", 1, nullptr); // a topic without attachments is fine
}

TEST_F(RingTest, DetachedInstancesNeverReceiveEvenWhenDetachedDuringDelivery) {
    Listener first, second, third;
    first.ring = &ring;
    first.detachOnEvent = &second; // the first listener removes the second mid-delivery
    ring.attach("topic", &first, record);
    ring.attach("topic", &second, record);
    ring.attach("topic", &third, record);

    ring.message("topic", 1, nullptr);
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_TRUE(second.events.empty());
    EXPECT_EQ(third.events.size(), 1u);
    EXPECT_EQ(host.ring().attachments("topic"), 2u);

    // Self-detach during delivery, then a plain detach.
    third.ring = &ring;
    third.detachOnEvent = &third;
    ring.message("topic", 2, nullptr);
    ring.detach("topic", &first);
    ring.message("topic", 3, nullptr);
    EXPECT_EQ(first.events, (std::vector<int>{1, 2}));
    EXPECT_EQ(third.events, (std::vector<int>{1, 2}));
    EXPECT_EQ(host.ring().attachments("topic"), 0u);
    ring.detach("topic", &first); // detaching twice is harmless
}

TEST_F(RingTest, SameDataOnTwoTopicsIsTwoAttachments) {
    Listener a;
    ring.attach("one", &a, record);
    ring.attach("two", &a, record);
    ring.detach("one", &a);
    EXPECT_FALSE(host.ring().isAttached("one", &a));
    EXPECT_TRUE(host.ring().isAttached("two", &a));
}

} // namespace
