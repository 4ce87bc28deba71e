#include "desktop/core/mdi_child_idle.h"

#include <exception>

#include "toolbox/log.h"

namespace zi::desktop {

namespace {

// RAII for the in-handler flag: a step that raises must not leave it set.
class InHandler {
 public:
  explicit InHandler(bool& flag) : flag_(flag) { flag_ = true; }
  ~InHandler() { flag_ = false; }
  InHandler(const InHandler&) = delete;
  InHandler& operator=(const InHandler&) = delete;

 private:
  bool& flag_;
};

}  // namespace

uint64_t tMdiChildIdle::Bucket() const { return host_ ? host_->TickMs() & ~uint64_t{1023} : 0; }

void tMdiChildIdle::IdleStart() {
  if (running_) FatalRunError250("ZiMdiIdl.IdleStart running");
  running_ = true;
  bucket_ = Bucket();
  try {
    IdleBegin();
  } catch (const std::exception& e) {
    Loga(std::string("ZiMdiIdl.IdleStart error ") + e.what());
    running_ = false;
    return;
  }
  endPending_ = true;
  if (host_) host_->PostIdle();
}

void tMdiChildIdle::wmZiIdle() {
  if (inHandler_) return;
  InHandler guard(inHandler_);
  if (running_) {
    do {
      try {
        IdleStep();
      } catch (const std::exception& e) {
        Loga(std::string("ZiMdiIdl.wmZiIdle error ") + e.what());
        running_ = false;
      }
    } while (running_ && Bucket() == bucket_);
    bucket_ = Bucket();
    if (host_) {
      host_->ProcessEvents();
      host_->PostIdle();
    }
    return;
  }
  // Only the message that follows a started run ends it: stray messages find nothing to end.
  if (!endPending_) return;
  endPending_ = false;
  try {
    IdleEnd();
  } catch (const std::exception& e) {
    Loga(std::string("ZiMdiIdl.IdleEnd error ") + e.what());
  }
}

}  // namespace zi::desktop
