#pragma once
// Named locks and the callback list.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

class TSequencializadorDeAcesso {
 public:
  explicit TSequencializadorDeAcesso(std::string name);
  virtual ~TSequencializadorDeAcesso() = default;
  TSequencializadorDeAcesso(const TSequencializadorDeAcesso&) = delete;
  TSequencializadorDeAcesso& operator=(const TSequencializadorDeAcesso&) = delete;

  virtual bool Lock() = 0;
  virtual void Unlock() = 0;
  // Lock, or end the process: a lock that cannot be taken is a broken invariant.
  void Locka();
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// Recursive so that a re-entrant call on the same thread reaches the caller's own re-entrance guard.
class TCriticalSection : public TSequencializadorDeAcesso {
 public:
  using TSequencializadorDeAcesso::TSequencializadorDeAcesso;
  bool Lock() override;
  void Unlock() override;

 private:
  std::recursive_mutex mutex_;
};

// Parameterless procedures called in order; a call made while the list runs asks for another round.
class TCallBackList {
 public:
  using Procedure = void (*)();

  void Add(Procedure procedure);
  void Remove(Procedure procedure);
  void ChamaTodos(std::string_view callerName);

 private:
  std::vector<Procedure> entries_;
  bool running_ = false;
  bool callAgain_ = false;
};

// Add on a list that does not exist (yet, or any more) is a broken invariant.
void CallBackListAdd(TCallBackList* list, TCallBackList::Procedure procedure, std::string_view callerName);
void CallBackListRemove(TCallBackList* list, TCallBackList::Procedure procedure);

}  // namespace zi
