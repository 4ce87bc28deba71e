#include "db/connection.h"
#include "desktop/main_window.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <array>

#include "catalogue/call_support.h"
#include "catalogue/catalogue.h"
#include "desktop/catalogue/company_picker_view.h"
#include "desktop/catalogue/table_editor.h"
#include "desktop/core/desktop_messages.h"
#include "desktop/core/window_kinds.h"
#include "desktop/country_badges.h"
#include "desktop/doc_views.h"
#include "desktop/forms.h"
#include "session/bulletin.h"
#include "session/session.h"
#include "session/settings.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"

namespace zi::desktop {

namespace {

struct TChooserButton {
  const char* caption;
  int column;
  int top;
  int code;
};

// "&Data Log" opens the log window from a free place of the third column, with a letter no other
// button uses.
constexpr std::array<TChooserButton, 22> kChooserButtons = {{
    {"&Companies", 1, 12, 1000},      {"&Fin Stats", 1, 48, 1001},     {"&Prices", 1, 84, 1002},
    {"Corp &Actions", 1, 120, 1003},  {"&News", 1, 156, 1004},         {"Sh &Holders", 1, 192, 1005},
    {"N&um of shares", 1, 228, 1010}, {"P&ortfolio", 1, 264, 1014},    {"Permissions", 2, 12, 1008},
    {"User Info", 2, 48, 1009},       {"Abbrev&Case", 2, 84, 1013},    {"&Laminas", 2, 120, 1015},
    {"Graficos", 2, 156, 1016},       {"Screenings", 2, 192, 1018},    {"A&visos", 2, 228, 1017},
    {"Gals &Simples", 2, 264, 1019},  {"&Gen BGL", 3, 12, kChooserGenBgl}, {"&Import", 3, 48, 1007},
    {"FS &Mover", 3, 84, 1011},       {"Fin Ind", 3, 120, 1012},       {"&Data Log", 3, 156, 1006},
    {"Cancel", 3, 264, kMrCancel},
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
constexpr int kCompaniesCode = 1000;

constexpr int kToolBarHeight = 33;
constexpr int kToolPanelOffset = 15;
constexpr int kRestoredWidth = 850;
constexpr int kRestoredHeight = 650;

const QEvent::Type kActivateEvent = static_cast<QEvent::Type>(QEvent::User + 1);
// The desktop's messages are queued in the main window; this event asks it to handle them.
const QEvent::Type kPostedEvent = static_cast<QEvent::Type>(QEvent::User + kMsgObjTreeChanged);

QString DebugText() { return DebugLogOn() ? "Debug: ON" : ""; }

QChar MnemonicOf(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return caption[i + 1].toUpper();
    ++i;
  }
  return {};
}

// A control that edits text: keys typed in it are its own.
bool IsTextEditor(const QWidget* widget) {
  if (const auto* line = qobject_cast<const QLineEdit*>(widget)) return !line->isReadOnly();
  if (const auto* text = qobject_cast<const QTextEdit*>(widget)) return !text->isReadOnly();
  if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) return !plain->isReadOnly();
  return qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

bool InGrid(const QWidget* focus) {
  if (dynamic_cast<const TMyGrid*>(focus)) return true;
  // The in-place editor sits in the grid's viewport.
  const QWidget* viewport = focus->parentWidget();
  return viewport && dynamic_cast<const TMyGrid*>(viewport->parentWidget());
}

}  // namespace

// The current-object box: a raised button face with the country's picture and the object's name,
// clipped to the box (its tooltip holds the whole text); a click picks a company.
class tCurObjBox : public QWidget {
 public:
  tCurObjBox(QWidget* parent, std::function<const tObjHierEx&()> object, std::function<void()> onClick)
      : QWidget(parent), object_(std::move(object)), onClick_(std::move(onClick)) {}

  // The current object changed.
  void Refresh() {
    setToolTip(ToQt(CurObjText(object_())) + "\nF2 picks a company");
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const tObjHierEx& object = object_();
    const QString text = ToQt(CurObjText(object));
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    const QRect area = rect().adjusted(6, 5, -6, -4);
    const QPixmap& picture = CountryBadge(object.EmpId != 0 ? object.EmpPais : kNoCountryPicture);
    painter.drawPixmap(area.left(), area.top() + (area.height() - picture.height()) / 2, picture);
    painter.setClipRect(area);
    painter.drawText(area.adjusted(picture.width() + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    QWidget::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint())) onClick_();
  }

 private:
  static constexpr int kNoCountryPicture = 9;
  std::function<const tObjHierEx&()> object_;
  std::function<void()> onClick_;
};

TWinNewwin::TWinNewwin(QWidget* parent, bool isAdmin, const std::function<bool(int kind)>& kindBuilt,
                       std::function<void()> onTableEditorKey)
    : QDialog(parent), debug_(new QLabel(DebugText(), this)), onTableEditorKey_(std::move(onTableEditorKey)) {
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
    if (isKind && !kindBuilt(code - kChooserKindBase)) {
      button->setEnabled(false);
      button->setToolTip(kNotBuiltTip);
    } else if ((code == kAdminOnlyMover || code == kAdminOnlyFinInd) && !isAdmin) {
      button->setEnabled(false);
    }
    connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
    buttons_[code] = button;
    button->installEventFilter(this);
    if (const QChar letter = MnemonicOf(button->text()); !letter.isNull()) mnemonics_.emplace_back(letter, button);
  }
  installEventFilter(this);
}

QPushButton* TWinNewwin::MnemonicButton(int qtKey) const {
  if (qtKey < Qt::Key_A || qtKey > Qt::Key_Z) return nullptr;
  const QChar letter(static_cast<char16_t>(qtKey));
  for (const auto& [mnemonic, button] : mnemonics_)
    if (mnemonic == letter && button->isEnabled()) return button;
  return nullptr;
}

// Qt cycles the focus between buttons whose mnemonics clash ("&Companies" and "Abbrev&Case"), and
// takes plain letters for nothing; in this dialog of buttons only, a letter clicks its button at once.
bool TWinNewwin::eventFilter(QObject* watched, QEvent* event) {
  const bool override = event->type() == QEvent::ShortcutOverride;
  if (!override && event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
  if (key->key() == Qt::Key_F10 && modifiers == Qt::ControlModifier) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != this && focus != Button(kCompaniesCode)) return false;
    if (override) event->accept();
    else CallGuarded("TWinNewwin.TableEditor", onTableEditorKey_);
    return true;
  }
  if (modifiers != Qt::NoModifier && modifiers != Qt::AltModifier) return false;
  QPushButton* button = MnemonicButton(key->key());
  if (!button) return false;
  if (override) event->accept();
  else button->click();
  return true;
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
  auto* userLabel = new QLabel("User", this);
  userLabel->setBuddy(edUsername_);
  auto* passwordLabel = new QLabel("Password", this);
  passwordLabel->setBuddy(edPassword_);
  fields->addWidget(userLabel, 0, 0);
  fields->addWidget(edUsername_, 0, 1);
  fields->addWidget(passwordLabel, 1, 0);
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
    hooks.askYesNo = [](const std::string& caption, const std::string& text) {
      return AskQtYesNo(caption, text, true, QMessageBox::Question);
    };
  if (!hooks.reqGBol) hooks.reqGBol = ReqGBol;
  if (!hooks.createWindow)
    hooks.createWindow = [this](int kind) { return CreateDocWindowOfKind(kind, area_, toolbar_); };
  if (!hooks.importAllowed) hooks.importAllowed = ImportPermitido;
  if (!hooks.usrGetData) hooks.usrGetData = DbUsrGetData;
  if (!hooks.companyRows)
    hooks.companyRows = [](int companyId, std::vector<tObjHierEx>& rows) {
      const int code = GetObjListDaEmp(kNivelEmpresa, companyId, rows);
      // A company that does not exist: the embedded server says so, another may list nothing.
      return code == kAnswerNotFound || (code == 0 && rows.empty()) ? kEmpNaoEncontrada : code;
    };
  if (!hooks.login) hooks.login = [this] { LoginInterativo(LoginDialog()); };
  if (!hooks.isAdmin) hooks.isAdmin = [] { return ZiGlobs().IsAdmin; };
  if (!hooks.pickObject) hooks.pickObject = [this](tObjHierEx& copy) { return PickCompany(this, copy); };
  if (!hooks.objectTreeChanged) hooks.objectTreeChanged = RearmCompanyPicker;
  if (!hooks.openTableEditor) hooks.openTableEditor = [this] { OpenTableEditor(this); };
  if (!hooks.dryRunOpen) hooks.dryRunOpen = [] { return db::HaveZiDb() && db::ZiDb().InDryRun(); };
  isAdmin_ = hooks.isAdmin;
  ctl_ = std::make_unique<TWinMainCtl>(*this, std::move(hooks));
  pbCurObj_ = new tCurObjBox(
      toolbar_, [this]() -> const tObjHierEx& { return ctl_->CurObj(); },
      [this] { CallGuarded("TWinMain.PickObject", [this] { ctl_->PickObject(); }); });
  toolbar_->setGeometry(0, 0, width(), kToolBarHeight);
  pbCurObj_->setGeometry(4, 4, 193, 25);
  pbCurObj_->Refresh();
  btNewWin_->setGeometry(204, 4, 37, 25);
  btNewWin_->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  btNewWin_->setToolTip("New window (F3)");
  btNewWin_->setFocusPolicy(Qt::NoFocus);
  connect(btNewWin_, &QPushButton::clicked, this, [this] { CallGuarded("TWinMain.ChooseWindow", [this] { ctl_->ChooseWindow(); }); });
  area_->setObjectName("area");
  resize(kRestoredWidth, kRestoredHeight);
  qApp->installEventFilter(this);
  SetDesktopPoster([this](int message, int param) { Post(message, param); });
  SetCaption(MainCaption(nullptr));
}

TWinMain::~TWinMain() {
  SetDesktopPoster({});
  qApp->removeEventFilter(this);
  ctl_.reset();
}

TWinNewwin& TWinMain::Chooser() {
  if (!chooser_)
    chooser_ = new TWinNewwin(this, isAdmin_(), KindBuilt, [this] { ctl_->TableEditorKey(); });
  return *chooser_;
}

QWidget* TWinMain::CurObjBox() const { return pbCurObj_; }

// A garbage setting restores nothing: the window opens maximised.
void TWinMain::ShowAtStart() {
  const QByteArray saved = QByteArray::fromBase64(QByteArray::fromStdString(LeReg(kGeometrySetting)),
                                                  QByteArray::AbortOnBase64DecodingErrors);
  if (!saved.isEmpty() && restoreGeometry(saved)) show();
  else showMaximized();
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

void TWinMain::RepaintCurObj() { pbCurObj_->Refresh(); }

// The replaced window may be the one whose handler asked for the switch: it goes from the screen
// now and is destroyed once the event loop is back.
void TWinMain::DisposeDocWindow(std::unique_ptr<tDocWindow> window) {
  auto* widget = dynamic_cast<tDocWidget*>(window.get());
  if (!widget) return;
  widget->Retire();
  widget->deleteLater();
  [[maybe_unused]] tDocWindow* released = window.release();
}

void TWinMain::Post(int message, int param) {
  posted_.push_back({message, param});
  QCoreApplication::postEvent(this, new QEvent(kPostedEvent));
}

void TWinMain::HandlePosted() {
  if (handlingPosted_) return;
  handlingPosted_ = true;
  while (!posted_.empty() && !QApplication::activeModalWidget()) {
    const TPosted posted = posted_.front();
    posted_.pop_front();
    CallGuarded("TWinMain.DesktopMessage", [this, posted] {
      if (posted.message == kMsgObjTreeChanged) ctl_->ObjectTreeChanged();
      else if (posted.message == kMsgCompanyAdded) ctl_->CompanyAdded(posted.param);
    });
  }
  handlingPosted_ = false;
}

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
  if (event->type() == kPostedEvent) {
    HandlePosted();
    return true;
  }
  // A modal dialog closed: the messages it held back are handled after its caller has returned.
  if (event->type() == QEvent::WindowUnblocked && !posted_.empty())
    QCoreApplication::postEvent(this, new QEvent(kPostedEvent));
  return QWidget::event(event);
}

// One route for every key typed in the main window (never in its dialogs, and nothing while a
// modal dialog is open): F2 picks a company and F3 opens the chooser wherever the focus is; the
// document window may take the other keys, but not from a text or cell editor unless it asks for
// them; then the focused control has the key.
bool TWinMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  if (QApplication::activeModalWidget()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget->window() != this) return false;
  QWidget* focus = QApplication::focusWidget();
  if (focus ? widget != focus : widget != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  TKeyMessage message{KeyOf(key->key(), key->modifiers())};
  if (message.key == TKey::Other) return false;
  message.gridOrNothingFocused = !focus || focus == this || InGrid(focus);
  message.editorFocused = focus && IsTextEditor(focus);
  bool handled = false;
  CallGuarded("TWinMain.ShortCut", [&] { handled = ctl_->HandleKey(message); });
  return handled;
}

void TWinMain::closeEvent(QCloseEvent* event) {
  bool closed = false;
  CallGuarded("TWinMain.Close", [&] { closed = ctl_->CloseDocWindow(); });
  if (!closed) {
    event->ignore();
    return;
  }
  GravaReg(kGeometrySetting, saveGeometry().toBase64().toStdString());
  event->accept();
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
