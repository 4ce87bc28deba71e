#pragma once
// The main window with its toolbar, the window chooser, the login dialog and the status window of
// long operations.

#include <QDialog>
#include <QEvent>
#include <QWidget>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "desktop/core/login_loop.h"
#include "desktop/core/main_window_ctl.h"
#include "session/login.h"
#include "toolbox/message_window.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zi::desktop {

// The chooser: one button per kind, each closing the dialog with 1000 + the kind; "&Gen BGL"
// 23001; "Cancel", Escape and the title bar 2. Buttons of kinds without a window are disabled.
// A mnemonic, with Alt or alone, clicks the first enabled button in tab order that has it.
class TWinNewwin : public QDialog {
 public:
  // kindBuilt: whether this build has a window of a kind; onTableEditorKey: Ctrl+F10 while the
  // chooser or "&Companies" has the focus.
  TWinNewwin(QWidget* parent, bool isAdmin, const std::function<bool(int kind)>& kindBuilt,
             std::function<void()> onTableEditorKey);
  QPushButton* Button(int resultCode) const;
  QLabel* DebugLabel() const { return debug_; }
  void reject() override;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* MnemonicButton(int qtKey) const;

  std::map<int, QPushButton*> buttons_;
  // Each button's mnemonic letter, in tab order.
  std::vector<std::pair<QChar, QPushButton*>> mnemonics_;
  QLabel* debug_;
  std::function<void()> onTableEditorKey_;
};

inline constexpr const char* kNotBuiltTip = "This window is not available in this version yet";

class TWinLogin : public QDialog, public tLoginView, public TLoginDialog {
 public:
  explicit TWinLogin(QWidget* parent);
  void SetUser(const std::string& user) override;
  void SetPassword(const std::string& password) override;
  std::string User() const override;
  std::string Password() const override;
  void FocusUser() override;
  bool Exec() override;
  bool Ask(std::string& user, std::string& password) override;
  QLineEdit* UserField() const { return edUsername_; }
  QLineEdit* PasswordField() const { return edPassword_; }

 private:
  QLineEdit* edUsername_;
  QLineEdit* edPassword_;
};

class tCurObjBox;

inline constexpr const char* kGeometrySetting = "MainWindowGeometry";

class TWinMain : public QWidget, public tZiForm, public tMainView {
 public:
  // hooks: the main window's dependencies; those left empty are the desktop's own (the company
  // picker, the table editor). It installs the poster of the desktop's messages.
  explicit TWinMain(TWinMainCtl::THooks hooks = {});
  ~TWinMain() override;
  const char* ClassName() const override { return "TWinMain"; }

  TWinMainCtl& Ctl() { return *ctl_; }
  TWinNewwin& Chooser();
  TWinLogin& LoginDialog();
  QWidget* ToolBar() const { return toolbar_; }
  QPushButton* NewWinButton() const { return btNewWin_; }
  QWidget* CurObjBox() const;
  // Shows the window as it was when last closed (the settings' "MainWindowGeometry"), else
  // maximised.
  void ShowAtStart();

  void SetCaption(const std::string& caption) override;
  void PlaceDocWindow(tDocWindow& window) override;
  void RepaintCurObj() override;
  void DisposeDocWindow(std::unique_ptr<tDocWindow> window) override;

 protected:
  void OnFirstActivate() override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct TPosted {
    int message;
    int param;
  };
  void Post(int message, int param);
  // Handles the posted messages in order while no modal dialog is open.
  void HandlePosted();

  QWidget* toolbar_;
  tCurObjBox* pbCurObj_;
  QPushButton* btNewWin_;
  QWidget* area_;
  std::unique_ptr<TWinMainCtl> ctl_;
  TWinNewwin* chooser_ = nullptr;
  TWinLogin* login_ = nullptr;
  bool activatePosted_ = false;
  std::function<bool()> isAdmin_;
  std::deque<TPosted> posted_;
  bool handlingPosted_ = false;
};

// The status window of long operations, centred on the active window.
std::unique_ptr<TMessageWindow> CreateQtMessageWindow(const std::string& caption);

}  // namespace zi::desktop
