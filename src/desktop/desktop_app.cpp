#include "desktop/desktop_app.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>

#include "desktop/core/ui_port.h"
#include "desktop/forms.h"
#include "desktop/main_window.h"
#include "desktop/screens.h"
#include "session/login.h"
#include "session/session.h"
#include "toolbox/codec.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/message_window.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi::desktop {

namespace {

constexpr const char* kCannotOpenLine = "ZorInput desktop cannot open: no display can be reached";

// Exceptions that escape a handler stop at the event loop's door: logged and shown.
class tZiApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ReportException("QApplication.notify", e);
      ShowErrorBox("Error", e.what());
    }
    return false;
  }
};

struct TDesktop {
  std::unique_ptr<tZiApplication> app;
  std::unique_ptr<TWinMain> main;
  tSaveDialog* saveDialog = nullptr;
  bool inEventLoop = false;
  // The signal that ended the session (a logout), 0 while none has.
  int endingSignal = 0;
};

TDesktop& Desktop() {
  static TDesktop desktop;
  return desktop;
}

// The login of InitDbConnection, when it still lacks a user or a password, is the main window's.
class tLoginForward : public TLoginDialog {
 public:
  bool Ask(std::string& user, std::string& password) override {
    return Desktop().main && Desktop().main->LoginDialog().Ask(user, password);
  }
};

// Once the Qt application is gone, status lines go to standard error again.
class tStandardErrorWindow : public TMessageWindow {
 public:
  explicit tStandardErrorWindow(std::string caption) : caption_(std::move(caption)) {}
  void SetLine(int, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", Cp1252ToUtf8(caption_).c_str(), Cp1252ToUtf8(text).c_str());
  }
  void Close() override {}

 private:
  std::string caption_;
};

void ShowQtBox(const std::string& caption, const std::string& text) {
  QString shown = ToQt(text);
  shown.replace("\r\n", "\n");
  const bool error = caption.rfind("Error", 0) == 0 || caption.rfind("SQL error", 0) == 0;
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Warning, ToQt(caption), shown, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

int AskSave(bool hasDataError) {
  TDesktop& desktop = Desktop();
  if (!desktop.saveDialog) desktop.saveDialog = new tSaveDialog(desktop.main.get());
  return desktop.saveDialog->Ask(hasDataError);
}

// Before the exit procedures that close the connection and flush the writers: the boxes and status
// lines go back to standard error, and the windows and the application go. A process that ends
// from inside the event loop (a fatal error in a handler) only hides its windows: deleting them
// under the handler that runs would crash the end it is trying to reach.
void TearDownDesktop() {
  TDesktop& desktop = Desktop();
  SetLoginDialog(nullptr);
  SetSaveQuestion({});
  SetUiPort({});
  SetErrorBoxHandler({});
  SetMessageWindowFactory(
      [](const std::string& caption) -> std::unique_ptr<TMessageWindow> { return std::make_unique<tStandardErrorWindow>(caption); });
  if (desktop.inEventLoop) {
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    return;
  }
  desktop.saveDialog = nullptr;
  desktop.main.reset();
  desktop.app.reset();
}

// The end of the session (SIGTERM at a logout, SIGHUP when the terminal goes) ends the desktop as
// its closed main window would, end line included. The handler only writes the signal's number
// into a pipe; the event loop reads it and leaves every loop it runs, modal ones included, and the
// windows close once no handler of theirs is running.
int endingSignalPipe[2] = {-1, -1};

void OnEndingSignal(int signal) {
  const int savedErrno = errno;
  const auto number = static_cast<unsigned char>(signal);
  // A full pipe already holds a signal that ends the desktop.
  [[maybe_unused]] const ssize_t written = ::write(endingSignalPipe[1], &number, 1);
  errno = savedErrno;
}

const char* EndingSignalName(int signal) { return signal == SIGHUP ? "SIGHUP" : "SIGTERM"; }

void CatchEndingSignals(QObject& application) {
  if (::pipe2(endingSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    Loga("Desktop: no pipe for the end of the session, errno:" + std::to_string(errno));
    return;
  }
  auto* notifier = new QSocketNotifier(endingSignalPipe[0], QSocketNotifier::Read, &application);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    unsigned char number = 0;
    while (::read(endingSignalPipe[0], &number, 1) == 1)
      if (Desktop().endingSignal == 0) Desktop().endingSignal = number;
    QApplication::exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal ignored by whoever started the program (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

// Whether Qt's platform can reach a display: tried in a child, because a platform that cannot
// connect ends the process that tries.
bool CanOpenDisplay() {
  const pid_t pid = ::fork();
  if (pid < 0) return true;
  if (pid == 0) {
    ::signal(SIGABRT, SIG_DFL);
    ::signal(SIGSEGV, SIG_DFL);
    if (const int null = ::open("/dev/null", O_WRONLY); null >= 0) ::dup2(null, 2);
    int argc = 1;
    char name[] = "zorinput";
    char* argv[] = {name, nullptr};
    { QGuiApplication probe(argc, argv); }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int RunDesktop() {
  if (!CanOpenDisplay()) {
    const std::string line = std::string(kCannotOpenLine) + " erro:" + std::to_string(kDesktopCannotOpen);
    Loga(line);
    std::fprintf(stderr, "%s (%s)\n", line.c_str(), OwnCodeText(kDesktopCannotOpen));
    return kDesktopCannotOpen;
  }
  static int argc = 1;
  static char name[] = "zorinput";
  static char* argv[] = {name, nullptr};
  TDesktop& desktop = Desktop();
  desktop.app = std::make_unique<tZiApplication>(argc, argv);
  CatchEndingSignals(*desktop.app);
  SetExitProc(TearDownDesktop);
  RoubaOChainDeExitProcs();
  SetErrorBoxHandler(ShowQtBox);
  SetMessageWindowFactory(CreateQtMessageWindow);
  SetSaveQuestion(AskSave);
  // A question whose safe answer is No (a delete) warns; the others ask.
  SetUiPort({.beep = [] { QApplication::beep(); },
             .askYesNo = [](const std::string& caption, const std::string& text, bool noIsDefault) {
               return AskQtYesNo(caption, text, noIsDefault, noIsDefault ? QMessageBox::Warning : QMessageBox::Question);
             }});
  SetLoginDialog(std::make_unique<tLoginForward>());
  desktop.main = std::make_unique<TWinMain>();
  std::unique_ptr<tScreens> screens;
  std::string folder;
  if (PegaParamBytes("screens", folder) && !folder.empty()) {
    std::string file;
    PegaParamBytes("screensimport", file);
    screens = std::make_unique<tScreens>(*desktop.main, QFile::decodeName(folder.c_str()),
                                         QFile::decodeName(file.c_str()));
  }
  desktop.main->ShowAtStart();
  desktop.inEventLoop = true;
  desktop.app->exec();
  desktop.inEventLoop = false;
  if (desktop.endingSignal != 0) desktop.main->Ctl().CloseDocWindowUnasked(EndingSignalName(desktop.endingSignal));
  const bool screensFinished = !screens || screens->Finished();
  screens.reset();
  TearDownDesktop();
  return screensFinished ? 0 : kScreensStopped;
}

}  // namespace zi::desktop
