#pragma once
// The main window with its toolbar, the window chooser, the login dialog and the status window of
// long operations.

#include <QDialog>
#include <QEvent>
#include <QWidget>
#include <map>
#include <memory>

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
class TWinNewwin : public QDialog {
 public:
  TWinNewwin(QWidget* parent, bool isAdmin);
  QPushButton* Button(int resultCode) const;
  QLabel* DebugLabel() const { return debug_; }
  void reject() override;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::map<int, QPushButton*> buttons_;
  QLabel* debug_;
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

// Posted to the main window when a company was added; the main window switches to it.
class tCompanyAddedEvent : public QEvent {
 public:
  static const QEvent::Type kType;
  explicit tCompanyAddedEvent(int companyId) : QEvent(kType), companyId_(companyId) {}
  int CompanyId() const { return companyId_; }

 private:
  int companyId_;
};

class TWinMain : public QWidget, public tZiForm, public tMainView {
 public:
  // hooks: the main window's dependencies; those left empty are the desktop's own.
  explicit TWinMain(TWinMainCtl::THooks hooks = {});
  ~TWinMain() override;
  const char* ClassName() const override { return "TWinMain"; }

  TWinMainCtl& Ctl() { return *ctl_; }
  TWinNewwin& Chooser();
  TWinLogin& LoginDialog();
  QWidget* ToolBar() const { return toolbar_; }
  QPushButton* NewWinButton() const { return btNewWin_; }

  void SetCaption(const std::string& caption) override;
  void PlaceDocWindow(tDocWindow& window) override;
  void RepaintCurObj() override;

 protected:
  void OnFirstActivate() override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* toolbar_;
  tCurObjBox* pbCurObj_;
  QPushButton* btNewWin_;
  QWidget* area_;
  std::unique_ptr<TWinMainCtl> ctl_;
  TWinNewwin* chooser_ = nullptr;
  TWinLogin* login_ = nullptr;
  bool activatePosted_ = false;
};

// The status window of long operations, centred on the active window.
std::unique_ptr<TMessageWindow> CreateQtMessageWindow(const std::string& caption);

}  // namespace zi::desktop
