#include "reader/talvo_timer.h"

#include <gtest/gtest.h>

#include "platform/testing/fake_clock.h"

namespace reader {
namespace {

using namespace std::chrono_literals;

TEST(TalvoTimer, ExpiresOnlyAfterMoreThanTheTimeout) {
    platform::testing::FakeClock clock;
    TTalvoTimer timer(100, clock);
    clock.Advance(100ms);
    EXPECT_EQ(timer.ElapsedMs(), 100);
    EXPECT_FALSE(timer.Expired());
    clock.Advance(1ms);
    EXPECT_TRUE(timer.Expired());
}

TEST(TalvoTimer, ZeroAndNegativeTimeoutsExpireAfterOneWholeMillisecond) {
    for (int timeout : {0, -5}) {
        platform::testing::FakeClock clock;
        TTalvoTimer timer(timeout, clock);
        EXPECT_EQ(timer.TimeoutMs(), 0);
        clock.Advance(999us);
        EXPECT_FALSE(timer.Expired()) << timeout;
        clock.Advance(1us);
        EXPECT_TRUE(timer.Expired()) << timeout;
    }
}

TEST(TalvoTimer, SetTimeoutRestarts) {
    platform::testing::FakeClock clock;
    TTalvoTimer timer(10, clock);
    clock.Advance(50ms);
    ASSERT_TRUE(timer.Expired());
    timer.SetTimeout(20);
    EXPECT_EQ(timer.ElapsedMs(), 0);
    EXPECT_FALSE(timer.Expired());
}

}  // namespace
}  // namespace reader
