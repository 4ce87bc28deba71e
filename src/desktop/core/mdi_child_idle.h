#pragma once
// A document window that runs long work in slices between user events. A slice runs IdleStep
// until the tick count enters the next 1024-millisecond bucket; then the user interface gets its
// pending events and the next slice is posted.

#include <cstdint>

#include "desktop/core/mdi_child.h"

namespace zi::desktop {

// The event loop as the idle runner sees it.
class tIdleHost {
 public:
  virtual ~tIdleHost() = default;
  // Queues a call of tMdiChildIdle::wmZiIdle after the events already queued.
  virtual void PostIdle() = 0;
  virtual void ProcessEvents() = 0;
  virtual uint64_t TickMs() const = 0;
};

class tMdiChildIdle : public tMdiChild {
 public:
  void SetIdleHost(tIdleHost* host) { host_ = host; }
  void IdleStart();
  void IdleStop() { running_ = false; }
  bool IsIdleRunning() const { return running_; }
  // The posted message: one slice, or IdleEnd once after a stop.
  void wmZiIdle();

 protected:
  virtual void IdleBegin() {}
  virtual void IdleStep() {}
  virtual void IdleEnd() {}

 private:
  uint64_t Bucket() const;

  tIdleHost* host_ = nullptr;
  bool running_ = false;
  bool inHandler_ = false;
  bool endPending_ = false;
  uint64_t bucket_ = 0;
};

}  // namespace zi::desktop
