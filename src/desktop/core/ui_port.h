#pragma once
// What the windows' controllers ask of the user interface beyond boxes (toolbox/message_box.h) and
// the server's error box (db::ShowSqlErrorTxt): a beep and a yes/no question. The desktop installs
// its own; without one (tests, unattended runs) a beep does nothing and every question answers No,
// the answer that changes nothing.
//
// The conventions every window follows, in one place:
// - an editor writes while it is open and closes only on success (EditUntilSaved);
// - a write or delete that fails shows ShowSqlErrorTxt's box, then the window reloads;
// - nothing reads the server while painting: a window reads at its load or when the selection
//   changes, and paints from what it read;
// - a reload that would drop unsaved edits asks first (tMdiChild::ConfirmClose);
// - text fields take Windows-1252 only, limited while typing (desktop/text_fields.h); numbers and
//   dates are shown and parsed by toolbox/display_formats.h;
// - pooled pickers and editors are out of the pool while shown (TPooled);
// - controllers return codes; no exception reaches Qt (the views' slots run in CallGuarded).

#include <functional>
#include <memory>
#include <string>

#include "toolbox/pool.h"

namespace zi::desktop {

struct TUiPort {
  std::function<void()> beep;
  // Yes: true. The question's default button is No when noIsDefault; the desktop shows such a
  // question (a delete) with a warning.
  std::function<bool(const std::string& caption, const std::string& text, bool noIsDefault)> askYesNo;
};

void SetUiPort(TUiPort port);
void Beep();
bool AskYesNo(const std::string& caption, const std::string& text, bool noIsDefault = true);

// The loop of a modal editor that writes while it is open: show the form (false: the user
// cancelled), write what it holds; a failed write shows its code in the server's error box under
// `where` and shows the form again with the user's entries. Returns 0 once written, or the last
// code when the user cancelled after a failure (kEditCancelled when nothing failed).
inline constexpr int kEditCancelled = -1;
int EditUntilSaved(const std::function<bool()>& showForm, const std::function<int(std::string& where)>& write);

// A pooled object taken out of the pool for the scope of its use, so that no one else is handed
// it while it is shown; a new one when none is pooled. Given back at the end of the scope.
template <typename T>
class TPooled {
 public:
  TPooled() : object_(PoolTake<T>()) {
    if (!object_) object_ = std::make_unique<T>();
  }
  ~TPooled() { PoolGive(std::move(object_)); }
  TPooled(const TPooled&) = delete;
  TPooled& operator=(const TPooled&) = delete;

  T& operator*() { return *object_; }
  T* operator->() { return object_.get(); }

 private:
  std::unique_ptr<T> object_;
};

// Sets a value for a scope and puts the old one back at its end, whatever way the scope ends (a
// picker's country for one use, for instance).
template <typename T>
class TScopedValue {
 public:
  TScopedValue(T& place, T value) : place_(place), old_(std::move(place)) { place_ = std::move(value); }
  ~TScopedValue() { place_ = std::move(old_); }
  TScopedValue(const TScopedValue&) = delete;
  TScopedValue& operator=(const TScopedValue&) = delete;

 private:
  T& place_;
  T old_;
};

}  // namespace zi::desktop
