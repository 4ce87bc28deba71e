#pragma once
// What the list windows' tests share: the edit dialog as scripted answers, a view that counts its
// drawings, and a fixture that opens a window on the demo database.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/marketdata/list_window.h"
#include "support/demo_database.h"

namespace zi::test {

// The dialog as scripted answers: each showing records what the dialog held, then takes the next
// answer (none left is Cancel). An answer edits the fields and runs its hook (a fault to inject for
// the write that follows); an Okay is only given for fields that pass the dialog's checks, as the
// dialog itself refuses the others.
template <typename TDialog>
struct TScriptedDialog {
  struct Answer {
    std::function<void(TDialog&)> edit;
    std::function<void()> hook;
  };
  std::deque<Answer> answers;
  std::vector<std::string> shown;
  std::vector<std::string> refusals;

  // seen: what this showing records of the dialog.
  bool Show(TDialog& dialog, std::string seen) {
    shown.push_back(std::move(seen));
    if (answers.empty()) return false;
    Answer answer = std::move(answers.front());
    answers.pop_front();
    if (answer.edit) answer.edit(dialog);
    if (const std::string refusal = dialog.Check(); !refusal.empty()) {
      refusals.push_back(refusal);
      return false;
    }
    if (answer.hook) answer.hook();
    return true;
  }
};

struct TCountingListView : desktop::tListView {
  bool listFocused = true;
  int shows = 0;
  void ShowLines() override { ++shows; }
  bool ListHasFocus() const override { return listFocused; }
};

// TForms: the window's forms port as scripted answers, constructible without arguments.
template <typename TWin, typename TForms>
class ListWindowTest : public DemoDatabase {
 protected:
  std::unique_ptr<TWin> OpenOn(const tObjHierEx& object) {
    auto fake = std::make_unique<TForms>();
    forms = fake.get();
    auto window = std::make_unique<TWin>(std::move(fake));
    window->SetListView(&view);
    window->SetCurObj(object);
    return window;
  }
  std::function<void()> FailCall(int n) {
    return [this, n] { Driver().InjectFaults({.failCall = n}); };
  }

  TCountingListView view;
  TForms* forms = nullptr;
};

}  // namespace zi::test
