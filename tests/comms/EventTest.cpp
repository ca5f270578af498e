#include "comms/Event.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tornu;

TEST(Event, WaitAnyReturnsTheSetEventAndTakesOnlyIt) {
    CEvent a, b, c(true);
    b.Set();
    c.Set();
    EXPECT_EQ(CEvent::WaitAny({&a, &b, &c}, 0), 1);
    EXPECT_FALSE(b.IsSet());
    EXPECT_TRUE(c.IsSet());
    c.Reset();
    EXPECT_EQ(CEvent::WaitAny({&a, &b, &c}, 0), -1);
    int index = -2; // wakes when an event is set later
    std::thread t([&] { index = CEvent::WaitAny({&a, &b}, CEvent::kInfinite); });
    b.Set();
    t.join();
    EXPECT_EQ(index, 1);
}
