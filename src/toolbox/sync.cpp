#include "toolbox/sync.h"

#include <algorithm>

#include "toolbox/log.h"

namespace zi {

TSequencializadorDeAcesso::TSequencializadorDeAcesso(std::string name) : name_(std::move(name)) {
  if (name_.size() > 255) name_.resize(255);
}

void TSequencializadorDeAcesso::Locka() {
  if (!Lock()) FatalRunError250("Mutex.Locka " + name_);
}

bool TCriticalSection::Lock() {
  mutex_.lock();
  return true;
}

void TCriticalSection::Unlock() { mutex_.unlock(); }

void TCallBackList::Add(Procedure procedure) { entries_.push_back(procedure); }

void TCallBackList::Remove(Procedure procedure) {
  // Emptied rather than erased: a round in progress keeps its indexes.
  std::replace(entries_.begin(), entries_.end(), procedure, Procedure{});
}

void TCallBackList::ChamaTodos(std::string_view callerName) {
  if (running_) {
    callAgain_ = true;
    return;
  }
  running_ = true;
  int round = 0;
  do {
    if (++round > 10) {
      running_ = false;
      FatalRunError250("TCBL.CA TCallBackList RC:" + std::to_string(round) + " " + std::string(callerName));
    }
    callAgain_ = false;
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i]) entries_[i]();
  } while (callAgain_);
  running_ = false;
}

void CallBackListAdd(TCallBackList* list, TCallBackList::Procedure procedure, std::string_view callerName) {
  if (!list) FatalRunError250("TCBL.A nil " + std::string(callerName));
  list->Add(procedure);
}

void CallBackListRemove(TCallBackList* list, TCallBackList::Procedure procedure) {
  if (list) list->Remove(procedure);
}

}  // namespace zi
