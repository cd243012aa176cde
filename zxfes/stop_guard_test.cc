#include "zxfes/stop_guard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

int processA = 1;
int processB = 2;

TEST(StopGuardTest, StopTakesTheKeptProcessOnce) {
  StopGuard guard;
  EXPECT_FALSE(guard.stopping());
  EXPECT_TRUE(guard.keep(&processA));
  EXPECT_EQ(guard.beginStop(), &processA);
  EXPECT_TRUE(guard.stopping());
  EXPECT_EQ(guard.beginStop(), nullptr);
  EXPECT_EQ(guard.release(), nullptr);
}

TEST(StopGuardTest, StopBeforeLaunchRefusesTheLaterProcess) {
  StopGuard guard;
  EXPECT_EQ(guard.beginStop(), nullptr);
  EXPECT_FALSE(guard.keep(&processA));
  EXPECT_EQ(guard.release(), nullptr);

  StopGuard requested;
  requested.requestStop();
  EXPECT_TRUE(requested.stopping());
  EXPECT_FALSE(requested.keep(&processA));
}

TEST(StopGuardTest, SecondProcessIsRefusedAndReleaseEmptiesTheGuard) {
  StopGuard guard;
  EXPECT_TRUE(guard.keep(&processA));
  EXPECT_FALSE(guard.keep(&processB));
  EXPECT_EQ(guard.release(), &processA);
  EXPECT_EQ(guard.release(), nullptr);
  EXPECT_FALSE(guard.stopping());
}

TEST(StopGuardTest, StartUpStatesAreNoLongerReportedOnceStopping) {
  StopGuard guard;
  for (unsigned long state = 1; state <= 4; ++state) EXPECT_TRUE(guard.admits(state));
  guard.requestStop();
  EXPECT_TRUE(guard.admits(1));   // stopped
  EXPECT_FALSE(guard.admits(2));  // start pending
  EXPECT_TRUE(guard.admits(3));   // stop pending
  EXPECT_FALSE(guard.admits(4));  // running
}

// However launch and stop interleave, the process is owned by exactly one
// side: either the stop takes it or the launcher is told to end it.
TEST(StopGuardTest, RacingLaunchAndStopNeverLoseOrShareTheProcess) {
  for (int round = 0; round < 200; ++round) {
    StopGuard guard;
    std::atomic<bool> go{false};
    bool kept = false;
    void* taken = nullptr;
    std::thread launcher([&] {
      while (!go) {}
      kept = guard.keep(&processA);
    });
    std::thread stopper([&] {
      while (!go) {}
      taken = guard.beginStop();
    });
    go = true;
    launcher.join();
    stopper.join();
    EXPECT_EQ(kept, taken == &processA) << "round " << round;
    EXPECT_EQ(guard.release(), nullptr);
  }
}

}  // namespace
