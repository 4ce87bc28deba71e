#include "desktop/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <array>

#include "catalogue/call_support.h"
#include "catalogue/catalogue.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/forms.h"
#include "session/bulletin.h"
#include "session/session.h"
#include "toolbox/log.h"

namespace zi::desktop {

namespace {

struct TChooserButton {
  const char* caption;
  int column;
  int top;
  int code;
};

constexpr std::array<TChooserButton, 21> kChooserButtons = {{
    {"&Companies", 1, 12, 1000},      {"&Fin Stats", 1, 48, 1001},     {"&Prices", 1, 84, 1002},
    {"Corp &Actions", 1, 120, 1003},  {"&News", 1, 156, 1004},         {"Sh &Holders", 1, 192, 1005},
    {"N&um of shares", 1, 228, 1010}, {"P&ortfolio", 1, 264, 1014},    {"Permissions", 2, 12, 1008},
    {"User Info", 2, 48, 1009},       {"Abbrev&Case", 2, 84, 1013},    {"&Laminas", 2, 120, 1015},
    {"Graficos", 2, 156, 1016},       {"Screenings", 2, 192, 1018},    {"A&visos", 2, 228, 1017},
    {"Gals &Simples", 2, 264, 1019},  {"&Gen BGL", 3, 12, kChooserGenBgl}, {"&Import", 3, 48, 1007},
    {"FS &Mover", 3, 84, 1011},       {"Fin Ind", 3, 120, 1012},       {"Cancel", 3, 264, kMrCancel},
}};
constexpr std::array<int, 4> kColumnX = {0, 12, 100, 188};
constexpr int kChooserWidth = 303;
constexpr int kChooserHeight = 346;
// Wider than the 75 pixels of the original layout, so that the captions fit the platform's font.
constexpr int kButtonWidth = 84;
constexpr int kChooserPointSize = 8;
constexpr int kButtonHeight = 25;
constexpr int kAdminOnlyMover = 1011;
constexpr int kAdminOnlyFinInd = 1012;

constexpr int kToolBarHeight = 33;
constexpr int kToolPanelOffset = 15;
constexpr int kRestoredWidth = 850;
constexpr int kRestoredHeight = 650;

const QEvent::Type kActivateEvent = static_cast<QEvent::Type>(QEvent::User + 1);
constexpr int kCompanyAddedMessage = 1571;

QString DebugText() { return DebugLogOn() ? "Debug: ON" : ""; }

}  // namespace

const QEvent::Type tCompanyAddedEvent::kType = static_cast<QEvent::Type>(QEvent::User + kCompanyAddedMessage);

// The current-object box: a raised button face with the object's name.
class tCurObjBox : public QWidget {
 public:
  tCurObjBox(QWidget* parent, std::function<std::string()> text) : QWidget(parent), text_(std::move(text)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    QRect area = rect().adjusted(6, 5, -6, -4);
    painter.drawText(area.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, ToQt(text_()));
  }

 private:
  std::function<std::string()> text_;
};

TWinNewwin::TWinNewwin(QWidget* parent, bool isAdmin) : QDialog(parent), debug_(new QLabel(DebugText(), this)) {
  setWindowTitle("New Window");
  setFixedSize(kChooserWidth, kChooserHeight);
  setModal(true);
  QFont small = font();
  small.setPointSize(kChooserPointSize);
  setFont(small);
  debug_->move(5, 220);
  for (const TChooserButton& place : kChooserButtons) {
    auto* button = new QPushButton(place.caption, this);
    button->setGeometry(kColumnX[static_cast<size_t>(place.column)], place.top, kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    const int code = place.code;
    const bool isKind = code >= kChooserKindBase && code < kChooserKindBase + kKindCount;
    if (isKind && !KindBuilt(code - kChooserKindBase)) {
      button->setEnabled(false);
      button->setToolTip(kNotBuiltTip);
    } else if ((code == kAdminOnlyMover || code == kAdminOnlyFinInd) && !isAdmin) {
      button->setEnabled(false);
    }
    connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
    buttons_[code] = button;
  }
}

QPushButton* TWinNewwin::Button(int resultCode) const {
  auto it = buttons_.find(resultCode);
  return it == buttons_.end() ? nullptr : it->second;
}

void TWinNewwin::reject() { done(kMrCancel); }

void TWinNewwin::mouseDoubleClickEvent(QMouseEvent* event) {
  SetDebugLog(!DebugLogOn());
  debug_->setText(QString("Debug: ") + (DebugLogOn() ? "ON" : "OFF"));
  debug_->adjustSize();
  QDialog::mouseDoubleClickEvent(event);
}

TWinLogin::TWinLogin(QWidget* parent)
    : QDialog(parent), edUsername_(new QLineEdit(this)), edPassword_(new QLineEdit(this)) {
  setWindowTitle("ZorInput Login");
  setModal(true);
  edUsername_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edPassword_->setEchoMode(QLineEdit::Password);
  edPassword_->setStyleSheet("lineedit-password-character: 42");
  auto* fields = new QGridLayout;
  auto* userIcon = new QLabel(this);
  userIcon->setPixmap(style()->standardIcon(QStyle::SP_DirHomeIcon).pixmap(24, 24));
  auto* passwordIcon = new QLabel(this);
  passwordIcon->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(24, 24));
  fields->addWidget(userIcon, 0, 0);
  fields->addWidget(edUsername_, 0, 1);
  fields->addWidget(passwordIcon, 1, 0);
  fields->addWidget(edPassword_, 1, 1);
  auto* okay = new QPushButton("Okay", this);
  auto* cancel = new QPushButton("Cancel", this);
  okay->setDefault(true);
  connect(okay, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  setMinimumWidth(320);
}

void TWinLogin::SetUser(const std::string& user) { edUsername_->setText(ToQt(user)); }
void TWinLogin::SetPassword(const std::string& password) { edPassword_->setText(QString::fromStdString(password)); }
std::string TWinLogin::User() const { return FromQt(edUsername_->text()); }
std::string TWinLogin::Password() const { return edPassword_->text().toStdString(); }
void TWinLogin::FocusUser() { edUsername_->setFocus(); }

bool TWinLogin::Exec() {
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  return exec() == QDialog::Accepted;
}

bool TWinLogin::Ask(std::string& user, std::string& password) {
  SetUser(user);
  SetPassword(password);
  FocusUser();
  if (!Exec()) return false;
  user = User();
  password = Password();
  return true;
}

TWinMain::TWinMain(TWinMainCtl::THooks hooks)
    : toolbar_(new QWidget(this)),
      pbCurObj_(nullptr),
      btNewWin_(new QPushButton(toolbar_)),
      area_(new QWidget(this)) {
  if (!hooks.connected) hooks.connected = EstaConectado;
  if (!hooks.chooser) hooks.chooser = [this] { return Chooser().exec(); };
  if (!hooks.askYesNo)
    hooks.askYesNo = [this](const std::string& caption, const std::string& text) {
      QMessageBox box(QMessageBox::Question, ToQt(caption), ToQt(text), QMessageBox::Yes | QMessageBox::No, this);
      box.setDefaultButton(QMessageBox::No);
      return box.exec() == QMessageBox::Yes;
    };
  if (!hooks.reqGBol) hooks.reqGBol = ReqGBol;
  if (!hooks.createWindow)
    hooks.createWindow = [this](int kind) { return CreateDocWindowOfKind(kind, area_, toolbar_); };
  if (!hooks.importAllowed) hooks.importAllowed = ImportPermitido;
  if (!hooks.usrGetData) hooks.usrGetData = DbUsrGetData;
  if (!hooks.companyRow)
    hooks.companyRow = [](int companyId, tObjHierEx& row) {
      std::vector<tObjHierEx> rows;
      const int code = GetObjListDaEmp(kNivelEmpresa, companyId, rows);
      if (code == 0 && !rows.empty()) row = rows.front();
      return code != 0 ? code : (rows.empty() ? kCallFailed : 0);
    };
  if (!hooks.login) hooks.login = [this] { LoginInterativo(LoginDialog()); };
  ctl_ = std::make_unique<TWinMainCtl>(*this, std::move(hooks));
  pbCurObj_ = new tCurObjBox(toolbar_, [this] { return CurObjText(ctl_->CurObj()); });
  toolbar_->setGeometry(0, 0, width(), kToolBarHeight);
  pbCurObj_->setGeometry(4, 4, 193, 25);
  btNewWin_->setGeometry(204, 4, 37, 25);
  btNewWin_->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  btNewWin_->setToolTip("New window (F3)");
  btNewWin_->setFocusPolicy(Qt::NoFocus);
  connect(btNewWin_, &QPushButton::clicked, this, [this] { CallGuarded("TWinMain.ChooseWindow", [this] { ctl_->ChooseWindow(); }); });
  area_->setObjectName("area");
  resize(kRestoredWidth, kRestoredHeight);
  qApp->installEventFilter(this);
  SetCaption(MainCaption(nullptr));
}

TWinMain::~TWinMain() {
  qApp->removeEventFilter(this);
  ctl_.reset();
}

TWinNewwin& TWinMain::Chooser() {
  if (!chooser_) chooser_ = new TWinNewwin(this, ZiGlobs().IsAdmin);
  return *chooser_;
}

TWinLogin& TWinMain::LoginDialog() {
  if (!login_) login_ = new TWinLogin(this);
  return *login_;
}

void TWinMain::SetCaption(const std::string& caption) { setWindowTitle(ToQt(caption)); }

void TWinMain::PlaceDocWindow(tDocWindow& window) {
  auto* widget = dynamic_cast<tDocWidget*>(&window);
  if (!widget) return;
  widget->setGeometry(area_->rect());
  widget->PlaceToolPanel(btNewWin_->geometry().right() + 1 + kToolPanelOffset, btNewWin_->y(), btNewWin_->height());
  widget->show();
}

void TWinMain::RepaintCurObj() { pbCurObj_->update(); }

void TWinMain::OnFirstActivate() { ctl_->FirstActivate(); }

bool TWinMain::event(QEvent* event) {
  // Without a window manager a window may never be activated: its first showing counts too.
  if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && !Activated() && !activatePosted_) {
    activatePosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kActivateEvent));
  }
  if (event->type() == kActivateEvent) {
    CallGuarded("TWinMain.FormActivate", [this] { FormActivate(); });
    return true;
  }
  if (event->type() == tCompanyAddedEvent::kType) {
    const int id = static_cast<tCompanyAddedEvent*>(event)->CompanyId();
    CallGuarded("TWinMain.CompanyAdded", [this, id] { ctl_->CompanyAdded(id); });
    return true;
  }
  return QWidget::event(event);
}

// The main window's shortcuts come first for every key typed in it (not in its dialogs): F3
// opens the chooser, and the document window may take any other key.
bool TWinMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget->window() != this) return false;
  QWidget* focus = QApplication::focusWidget();
  if (focus ? widget != focus : widget != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  TKeyMessage message{KeyOf(key->key(), key->modifiers()), false};
  if (message.key == TKey::Other) return false;
  message.gridOrNothingFocused = !focus || focus == this || dynamic_cast<TMyGrid*>(focus) ||
                                 (focus->parentWidget() && dynamic_cast<TMyGrid*>(focus->parentWidget()->parentWidget()));
  bool handled = false;
  CallGuarded("TWinMain.ShortCut", [&] { handled = ctl_->HandleKey(message); });
  return handled;
}

void TWinMain::closeEvent(QCloseEvent* event) {
  bool closed = false;
  CallGuarded("TWinMain.Close", [&] { closed = ctl_->CloseDocWindow(); });
  if (closed) event->accept();
  else event->ignore();
}

void TWinMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  toolbar_->setGeometry(0, 0, width(), kToolBarHeight);
  area_->setGeometry(0, kToolBarHeight, width(), height() - kToolBarHeight);
  CallGuarded("TWinMain.LayOut", [this] { ctl_->LayOut(); });
}

namespace {

class tQtMessageWindow : public TMessageWindow {
 public:
  explicit tQtMessageWindow(const std::string& caption) : window_(nullptr, Qt::Dialog) {
    window_.setWindowTitle(ToQt(caption));
    window_.setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(&window_);
    for (QLabel*& line : lines_) {
      line = new QLabel(&window_);
      layout->addWidget(line);
    }
    window_.setMinimumWidth(300);
    if (QWidget* active = QApplication::activeWindow())
      window_.move(active->geometry().center() - window_.rect().center());
    window_.show();
    QCoreApplication::processEvents();
  }

  void SetLine(int line, const std::string& text) override {
    if (line < 1 || line > static_cast<int>(lines_.size())) return;
    lines_[static_cast<size_t>(line - 1)]->setText(ToQt(text));
    for (size_t i = static_cast<size_t>(line); i < lines_.size(); ++i) lines_[i]->clear();
    // The operation runs on this thread: the window is repainted now or never.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }

  void Close() override { window_.hide(); }

 private:
  QWidget window_;
  std::array<QLabel*, 4> lines_{};
};

}  // namespace

std::unique_ptr<TMessageWindow> CreateQtMessageWindow(const std::string& caption) {
  return std::make_unique<tQtMessageWindow>(caption);
}

}  // namespace zi::desktop
