#include "comms/Thread.h"

#include "comms/Event.h"
#include "comms/TimeScale.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tornu;

namespace {

// Runs until released; records the thread it ran on.
class GatedThread : public CThread {
public:
    ~GatedThread() override {
        gate.Set();
        Wait();
    }
    CEvent gate{true};
    CEvent entered{true};
    std::atomic<std::thread::id> ranOn{};
    unsigned result = 7;

protected:
    unsigned Run() override {
        ranOn = std::this_thread::get_id();
        entered.Set();
        gate.Wait();
        return result;
    }
};

class ThrowingThread : public CThread {
public:
    ~ThrowingThread() override { Wait(); }

protected:
    unsigned Run() override { throw std::runtime_error("body failed"); }
};

} // namespace

TEST(Thread, SecondStartThrowsTheProgramsError) {
    GatedThread t;
    t.Start();
    EXPECT_THROW(t.Start(), CThreadError);
    t.gate.Set();
    ASSERT_TRUE(t.Wait());
    EXPECT_THROW(t.Start(), CThreadError) << "still refused once the first thread has ended";
}

TEST(Thread, AnExceptionLeavingRunEndsTheThreadWithCodeZero) {
    ThrowingThread t;
    t.Start();
    EXPECT_TRUE(t.Wait());
    EXPECT_EQ(0u, t.ExitCode());
}


TEST(TimeScale, ScalesDurationsButNeverToZero) {
    EXPECT_EQ(1.0, CTimeScale::Get());
    CScopedTimeScale scale(0.01);
    EXPECT_EQ(600, CTimeScale::Ms(60000));
    EXPECT_EQ(-1, CTimeScale::Ms(-1)); // an infinite wait stays infinite
    CTimeScale::Set(0); // ignored, as every factor that is not positive
    CTimeScale::Set(-3);
    EXPECT_EQ(0.01, CTimeScale::Get());
}
