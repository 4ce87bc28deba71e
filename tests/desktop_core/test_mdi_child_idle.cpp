#include "desktop/core/mdi_child_idle.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "desktop_fakes.h"

namespace zi::desktop {
namespace {

// An event loop whose clock moves by the test's hand: every step advances it by stepMs.
struct FakeHost : tIdleHost {
  uint64_t now = 5 * 1024 + 3;
  int posted = 0;
  int processed = 0;
  std::function<void()> onProcessEvents;

  void PostIdle() override { ++posted; }
  void ProcessEvents() override {
    ++processed;
    if (onProcessEvents) onProcessEvents();
  }
  uint64_t TickMs() const override { return now; }
};

class CountingWindow : public tMdiChildIdle {
 public:
  const char* ClassName() const override { return "tCountingWindow"; }
  int MdiType() const override { return 7; }

  FakeHost* host = nullptr;
  int stepMs = 100;
  int steps = 0;
  int stopAfter = 1000;
  int raiseAt = -1;
  bool raiseInBegin = false;
  int begins = 0;
  int ends = 0;

 protected:
  void IdleBegin() override {
    ++begins;
    if (raiseInBegin) throw std::runtime_error("no file");
  }
  void IdleStep() override {
    ++steps;
    host->now += static_cast<uint64_t>(stepMs);
    if (steps == raiseAt) throw std::runtime_error("bad line");
    if (steps >= stopAfter) IdleStop();
  }
  void IdleEnd() override { ++ends; }
};

class IdleRunner : public test::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    window.host = &host;
    window.SetIdleHost(&host);
  }
  // Delivers the posted messages until none is left, at most limit.
  void RunPosted(int limit = 100) {
    while (host.posted > 0 && limit-- > 0) {
      --host.posted;
      window.wmZiIdle();
    }
  }

  FakeHost host;
  CountingWindow window;
};

TEST_F(IdleRunner, SlicesEndAtTheNextBucketAndIdleEndRunsOnce) {
  window.IdleStart();
  EXPECT_EQ(window.begins, 1);
  EXPECT_EQ(host.posted, 1);
  window.wmZiIdle();
  --host.posted;
  // From 5123 ms in steps of 100 ms, the eleventh step reaches 6223, in the bucket from 6144.
  EXPECT_EQ(window.steps, 11);
  EXPECT_EQ(host.processed, 1);
  window.stopAfter = 15;
  RunPosted();
  EXPECT_EQ(window.steps, 15);
  EXPECT_EQ(window.ends, 1);
  EXPECT_FALSE(window.IsIdleRunning());
  window.wmZiIdle();
  EXPECT_EQ(window.ends, 1) << "a stray message ends nothing";
}

TEST_F(IdleRunner, AStepThatRaisesStopsTheWorkOnce) {
  window.raiseAt = 3;
  window.IdleStart();
  RunPosted();
  EXPECT_EQ(window.steps, 3);
  EXPECT_EQ(window.ends, 1);
  const std::string log = Log();
  EXPECT_NE(log.find("ZiMdiIdl.wmZiIdle error bad line"), std::string::npos);
  EXPECT_EQ(log.find("bad line"), log.rfind("bad line")) << "logged once";
  window.IdleStart();
  EXPECT_TRUE(window.IsIdleRunning()) << "the window stays usable";
}

TEST_F(IdleRunner, ABeginThatRaisesStartsNothing) {
  window.raiseInBegin = true;
  window.IdleStart();
  EXPECT_FALSE(window.IsIdleRunning());
  EXPECT_EQ(host.posted, 0);
  EXPECT_NE(Log().find("ZiMdiIdl.IdleStart error no file"), std::string::npos);
}

TEST_F(IdleRunner, NoSliceInsideAnother) {
  host.onProcessEvents = [this] { window.wmZiIdle(); };
  window.IdleStart();
  window.wmZiIdle();
  EXPECT_EQ(window.steps, 11) << "the message delivered while events were processed ran no slice";
  EXPECT_EQ(host.posted, 2);
}

TEST_F(IdleRunner, StopWithinTheBucket) {
  window.stepMs = 1;
  window.stopAfter = 4;
  window.IdleStart();
  RunPosted();
  EXPECT_EQ(window.steps, 4);
  EXPECT_EQ(window.ends, 1);
}

}  // namespace
}  // namespace zi::desktop
