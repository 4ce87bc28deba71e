#include "desktop/screens.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <string>

#include "desktop/catalogue/company_picker_view.h"
#include "desktop/catalogue/indicator_history.h"
#include "desktop/catalogue/object_forms_view.h"
#include "desktop/catalogue/object_window_view.h"
#include "desktop/catalogue/share_base_window_view.h"
#include "desktop/catalogue/table_editor.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/forms.h"
#include "desktop/main_window.h"
#include "desktop/marketdata/corporate_action_view.h"
#include "desktop/marketdata/news_view.h"
#include "desktop/marketdata/quote_window_view.h"
#include "desktop/naics_picker_dialog.h"
#include "desktop/statements/statement_grid.h"
#include "desktop/statements/statement_header_dialog.h"
#include "desktop/statements/statement_window_view.h"
#include "session/session.h"
#include "toolbox/log.h"

namespace zi::desktop {

namespace {

constexpr int kTickMs = 200;
// The whole run's bound: it stays below the 120 seconds the script grants the program.
constexpr int kMaxTicks = 400;
constexpr const char* kSearchText = "PETR";
// An indicator of the company form whose history the picture shows; the box's first when the
// form has no such line.
constexpr int kHistoryIndicator = 63;
// Petrobras's statements as the screenshot script seeds them: the second column is 2022's, whose
// check fails on current assets.
constexpr int kFailedColumn = 2;
constexpr int kTotalAssets = 1;
constexpr QSize kScreenMargin(20, 40);

template <class T>
T* Modal() {
  return dynamic_cast<T*>(QApplication::activeModalWidget());
}

bool NoModal() { return QApplication::activeModalWidget() == nullptr; }

// A key typed as a user types it: to the focused widget of widget's window, else to widget.
void Type(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
  QWidget* focus = QApplication::focusWidget();
  QWidget* target = focus && focus->window() == widget->window() ? focus : widget;
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QCoreApplication::sendEvent(target, &release);
}

void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) Type(widget, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

int RowCount(const QAbstractItemView* view) { return view->model() ? view->model()->rowCount() : 0; }

// The series whose prices the pictures show, and its row in the picker (-1 when it has none).
constexpr const char* kPriceTicker = "PETR4";
int RowOfTicker(const TWinNewObj& picker, const std::string& ticker) {
  const std::vector<TPickerRow>& rows = picker.Controller().rows();
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].object.AnbCod == ticker) return static_cast<int>(i);
  return -1;
}

// The first line of a level in the company window; -1 when it has none.
int LineOf(tObjWinView& view, int nivel) {
  const std::vector<TObjLine>& lines = view.Window().Lines();
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].nivel == nivel) return static_cast<int>(i);
  return -1;
}

// The history button the picture opens: that of kHistoryIndicator, else the box's first.
QPushButton* HistoryButton(const TObjFormBase& form) {
  if (QPushButton* button = form.BoxWidget()->Historico(kHistoryIndicator)) return button;
  const QList<QPushButton*> buttons = form.BoxWidget()->widget()->findChildren<QPushButton*>();
  return buttons.isEmpty() ? nullptr : buttons.first();
}

// The share-base window with its grid filled: the classes by date and slot.
constexpr int kShareBaseRow = 2;
constexpr int kShareBaseCol = 1;

bool ShareBaseShown(TWinMain& main) {
  auto* view = dynamic_cast<tBacWinView*>(main.Ctl().Doc());
  return view && view->Grid()->model()->rowCount() > kShareBaseRow && view->Grid()->model()->columnCount() > kShareBaseCol;
}

tBalWinView* Statements(TWinMain& main) { return dynamic_cast<tBalWinView*>(main.Ctl().Doc()); }

// The statement window is open with every column read.
bool StatementsLoaded(TWinMain& main) {
  tBalWinView* view = Statements(main);
  if (!view || view->Window().ColumnCount() == 0) return false;
  for (int col = 1; col <= view->Window().ColumnCount(); ++col)
    if (!view->Window().ColumnLoaded(col)) return false;
  return true;
}

// The grid row of an account's line, whose label starts with the account's number.
int RowOfAccount(tBalWinView& view, int conta) {
  const std::string code = std::string(4 - std::min<size_t>(4, std::to_string(conta).size()), '0') +
                           std::to_string(conta) + " ";
  for (int row = kStmHeaderRows; row < view.Window().RowCount(); ++row)
    if (view.Window().Label(row).text.starts_with(code)) return row;
  return kStmHeaderRows;
}

}  // namespace

// What the screen shows over the main window, popups included.
void tScreens::SaveScreen(QWidget& window, const QString& name) {
  const QString path = folder_ + "/" + name;
  QScreen* screen = window.screen();
  const QRect frame = window.frameGeometry();
  const bool saved =
      screen && screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(path, "PNG");
  Loga(std::string("screens ") + (saved ? "saved " : "NOT saved ") + FromQt(path));
}

tScreens::tScreens(TWinMain& main, QString folder, QString importFile)
    : main_(main), folder_(std::move(folder)), importFile_(std::move(importFile)), steps_(Road()) {
  QDir().mkpath(folder_);
  timer_.setInterval(kTickMs);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  timer_.start();
}

void tScreens::Save(QWidget* widget, const QString& name) {
  const QString path = folder_ + "/" + name;
  Loga(std::string("screens ") + (widget->grab().save(path, "PNG") ? "saved " : "NOT saved ") + FromQt(path) +
       " caption:\"" + FromQt(widget->windowTitle()) + "\"");
}

void tScreens::Tick() {
  if (Finished()) {
    timer_.stop();
    return;
  }
  if (++ticks_ > kMaxTicks) {
    Loga(std::string("screens: gave up at step ") + steps_[step_].name);
    timer_.stop();
    QApplication::exit(0);
    return;
  }
  // A box on the way is kept as a picture and clicked away.
  if (auto* box = Modal<QMessageBox>()) {
    Save(box, "box-" + QString::number(++boxes_) + ".png");
    box->accept();
    return;
  }
  const TStep& step = steps_[step_];
  if (!step.ready()) return;
  ++step_;
  QTimer::singleShot(0, &main_, step.act);
}

std::vector<tScreens::TStep> tScreens::Road() {
  auto objects = [this] { return dynamic_cast<tObjWinView*>(main_.Ctl().Doc()); };
  auto objectsIdle = [objects] { return NoModal() && objects() && objects()->List()->count() > 0; };
  // The company window's first line of a level, selected and focused as a click leaves it.
  auto focusLine = [this, objects](int nivel) {
    return [this, objects, nivel] {
      tObjWinView* view = objects();
      view->List()->setCurrentRow(LineOf(*view, nivel));
      main_.activateWindow();
      view->FocusList();
    };
  };
  auto lineFocused = [objectsIdle, objects](int nivel) {
    return [objectsIdle, objects, nivel] {
      return objectsIdle() && objects()->ListHasFocus() && objects()->List()->currentRow() == LineOf(*objects(), nivel);
    };
  };
  // Enter on the focused line: its level's form.
  auto pressEnter = [objects] { Type(objects()->List(), Qt::Key_Return); };
  auto formShown = [](auto* form) { return form && form->BoxWidget()->isVisible(); };
  auto chooserButton = [this](int kind) { main_.Chooser().Button(kChooserKindBase + kind)->click(); };
  auto news = [this] { return dynamic_cast<tNwsWinView*>(main_.Ctl().Doc()); };
  auto actions = [this] { return dynamic_cast<tPrvWinView*>(main_.Ctl().Doc()); };
  // A list's first line selected and the list focused, as a click leaves it.
  auto focusFirstLine = [this](QAbstractItemView* list) {
    list->setCurrentIndex(list->model()->index(0, 0));
    main_.activateWindow();
    list->setFocus();
  };
  auto firstLineFocused = [](QAbstractItemView* list) {
    return list->hasFocus() && list->currentIndex().row() == 0;
  };
  const std::vector<TStep> prices = PriceSteps();
  const std::vector<TStep> statements = StatementSteps();
  std::vector<TStep> road{
      {"login", [this] { return Modal<QWidget>() == &main_.LoginDialog(); },
       [this] {
         Save(&main_.LoginDialog(), "login.png");
         main_.LoginDialog().accept();
       }},
      {"main window", [] { return NoModal() && EstaConectado(false); },
       [this] {
         Save(&main_, "main.png");
         Type(&main_, Qt::Key_F3);
       }},
      {"chooser", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [this, chooserButton] {
         Save(&main_.Chooser(), "chooser.png");
         chooserButton(kKindImport);
       }},
      {"import", [this] { return NoModal() && dynamic_cast<tImpView*>(main_.Ctl().Doc()); },
       [this] {
         auto* view = dynamic_cast<tImpView*>(main_.Ctl().Doc());
         view->FileField()->setText(importFile_);
         view->ActionList()->setCurrentIndex(0);
         view->OkayButton()->click();
       }},
      {"import ended",
       [this] {
         auto* window = dynamic_cast<tImpWin*>(main_.Ctl().DocWindow());
         return NoModal() && window && !window->IsIdleRunning();
       },
       [this] {
         Save(&main_, "import.png");
         Type(&main_, Qt::Key_F2);
       }},
      {"search", [] { return Modal<tWinNewObjParams>() != nullptr; },
       [] { TypeText(Modal<tWinNewObjParams>()->TextField(), kSearchText); }},
      {"search typed",
       [] { return Modal<tWinNewObjParams>() && Modal<tWinNewObjParams>()->TextField()->text() == kSearchText; },
       [this] {
         Save(Modal<tWinNewObjParams>(), "search.png");
         Modal<tWinNewObjParams>()->OkayButton()->click();
       }},
      {"picker", [] { return Modal<TWinNewObj>() && RowCount(Modal<TWinNewObj>()->List()) > 0; },
       [] {
         QListView* list = Modal<TWinNewObj>()->List();
         list->setCurrentIndex(list->model()->index(0, 0));
       }},
      {"picker first row", [] { return Modal<TWinNewObj>() && Modal<TWinNewObj>()->Controller().selected() == 0; },
       [this] {
         Save(Modal<TWinNewObj>(), "picker.png");
         Modal<TWinNewObj>()->OkayButton()->click();
       }},
      {"company picked", [] { return NoModal(); }, [this] { Type(&main_, Qt::Key_F3); }},
      {"chooser for the company window", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindObjects); }},
      {"company window", objectsIdle,
       [objects] { objects()->List()->setCurrentRow(LineOf(*objects(), kNivelClasse)); }},
      {"class line selected",
       [objectsIdle, objects] {
         return objectsIdle() && objects()->List()->currentRow() == LineOf(*objects(), kNivelClasse);
       },
       [this] { Save(&main_, "objects.png"); }},
      {"company line", objectsIdle, focusLine(kNivelEmpresa)},
      {"company line focused", lineFocused(kNivelEmpresa), pressEnter},
      {"company form", [formShown] { return formShown(Modal<TObjEmpForm>()); },
       [this] {
         Save(Modal<TObjEmpForm>(), "company-form.png");
         Modal<TObjEmpForm>()->NaicsPick()->click();
       }},
      {"NAICS picker", [] { return Modal<tZiPickSicCod>() && Modal<tZiPickSicCod>()->List()->count() > 0; },
       [this] {
         Save(Modal<tZiPickSicCod>(), "naics.png");
         Modal<tZiPickSicCod>()->CancelButton()->click();
       }},
      {"company form again",
       [formShown] { return formShown(Modal<TObjEmpForm>()) && HistoryButton(*Modal<TObjEmpForm>()); },
       [] { HistoryButton(*Modal<TObjEmpForm>())->click(); }},
      {"indicator history", [] { return Modal<tIndicatorHistoryDialog>() != nullptr; },
       [this] {
         Save(Modal<tIndicatorHistoryDialog>(), "indicator-history.png");
         Modal<tIndicatorHistoryDialog>()->reject();
       }},
      {"company form after the history", [formShown] { return formShown(Modal<TObjEmpForm>()); },
       [] { Modal<TObjEmpForm>()->CancelButton()->click(); }},
      {"class line", objectsIdle, focusLine(kNivelClasse)},
      {"class line focused", lineFocused(kNivelClasse), pressEnter},
      {"class form", [formShown] { return formShown(Modal<TObjAtvForm>()); },
       [this] {
         Save(Modal<TObjAtvForm>(), "class-form.png");
         Modal<TObjAtvForm>()->CancelButton()->click();
       }},
      {"series line", objectsIdle, focusLine(kNivelSerie)},
      {"series line focused", lineFocused(kNivelSerie), pressEnter},
      {"series form", [formShown] { return formShown(Modal<TObjAnbForm>()); },
       [this] {
         Save(Modal<TObjAnbForm>(), "series-form.png");
         Modal<TObjAnbForm>()->CancelButton()->click();
       }},
      {"forms closed", objectsIdle, [this] { Type(&main_, Qt::Key_F3); }},
      {"chooser for the table editor", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [this] {
         main_.Chooser().activateWindow();
         main_.Chooser().Button(kChooserKindBase + kKindObjects)->setFocus();
       }},
      {"chooser focused",
       [this] {
         return Modal<QWidget>() == &main_.Chooser() &&
                QApplication::focusWidget() == main_.Chooser().Button(kChooserKindBase + kKindObjects);
       },
       [this] { Type(&main_.Chooser(), Qt::Key_F10, Qt::ControlModifier); }},
      {"table editor", [] { return Modal<tTableEditorDialog>() != nullptr; },
       [] { Modal<tTableEditorDialog>()->PresetButtons().front()->click(); }},
      {"table editor rows",
       [] { return Modal<tTableEditorDialog>() && RowCount(Modal<tTableEditorDialog>()->Grid()) > 0; },
       [this] {
         Save(Modal<tTableEditorDialog>(), "indicator-table.png");
         Modal<tTableEditorDialog>()->reject();
       }},
      {"chooser for the log", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindLog); }},
      {"log window",
       [this] {
         auto* view = dynamic_cast<tLogView*>(main_.Ctl().Doc());
         return NoModal() && view && view->Grid()->columnCount() > 0;
       },
       [this] {
         Save(&main_, "log.png");
         Type(&main_, Qt::Key_F3);
       }},
      {"chooser for the dry run", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindImport); }},
      {"import for the dry run", [this] { return NoModal() && dynamic_cast<tImpView*>(main_.Ctl().Doc()); },
       [this] {
         auto* view = dynamic_cast<tImpView*>(main_.Ctl().Doc());
         view->FileField()->setText(importFile_);
         view->ActionList()->setCurrentIndex(tImpForm::kDryRunAction);
         view->OkayButton()->click();
       }},
      {"dry run ended",
       [this] {
         auto* window = dynamic_cast<tImpWin*>(main_.Ctl().DocWindow());
         return NoModal() && window && !window->IsIdleRunning() && !window->Form().RunActive();
       },
       [this] {
         Save(&main_, "import-dry-run.png");
         Type(&main_, Qt::Key_F3);
       }},
      {"chooser for the share base", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindShareBase); }},
      {"share-base window", [this] { return NoModal() && ShareBaseShown(main_); },
       [this] {
         QTableView* grid = dynamic_cast<tBacWinView*>(main_.Ctl().Doc())->Grid();
         grid->setFocus();
         grid->setCurrentIndex(grid->model()->index(kShareBaseRow, kShareBaseCol));
       }},
      {"share-base cell", [this] { return NoModal() && ShareBaseShown(main_); },
       [this] {
         Save(&main_, "share-base.png");
         Type(&main_, Qt::Key_F3);
       }},
      // The news and corporate-action windows of the company picked, each with its dialog.
      {"chooser for the news", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindNews); }},
      {"news window", [news] { return NoModal() && news() && RowCount(news()->List()) > 0; },
       [news, focusFirstLine] { focusFirstLine(news()->List()); }},
      {"news line focused",
       [news, firstLineFocused] { return NoModal() && news() && firstLineFocused(news()->List()); },
       [this, news] {
         Save(&main_, "news.png");
         Type(news()->List(), Qt::Key_Return);
       }},
      {"news dialog", [] { return Modal<tNwsDialogView>() != nullptr; },
       [this] {
         Save(Modal<tNwsDialogView>(), "news-dialog.png");
         Modal<tNwsDialogView>()->CancelButton()->click();
       }},
      {"news dialog closed", [news] { return NoModal() && news(); }, [this] { Type(&main_, Qt::Key_F3); }},
      {"chooser for the corporate actions", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindCorporateActions); }},
      {"corporate-action window", [actions] { return NoModal() && actions() && RowCount(actions()->List()) > 1; },
       [actions, focusFirstLine] { focusFirstLine(actions()->List()); }},
      {"corporate-action line focused",
       [actions, firstLineFocused] { return NoModal() && actions() && firstLineFocused(actions()->List()); },
       [this, actions] {
         Save(&main_, "corporate-actions.png");
         Type(actions()->List(), Qt::Key_Return);
       }},
      {"corporate-action dialog", [] { return Modal<tPrvDialogView>() != nullptr; },
       [this] {
         Save(Modal<tPrvDialogView>(), "corporate-action-dialog.png");
         Modal<tPrvDialogView>()->CancelButton()->click();
       }},
      {"corporate-action dialog closed", [actions] { return NoModal() && actions(); }, [this] { Type(&main_, Qt::Key_F2); }},
  };
  road.insert(road.end(), prices.begin(), prices.end());
  road.insert(road.end(), statements.begin(), statements.end());
  return road;
}

// The price window of PETR4 and its range dialog.
std::vector<tScreens::TStep> tScreens::PriceSteps() {
  auto prices = [this] { return dynamic_cast<TCotWinView*>(main_.Ctl().Doc()); };
  return {
      {"picker for PETR4", [] { return Modal<TWinNewObj>() && RowOfTicker(*Modal<TWinNewObj>(), kPriceTicker) >= 0; },
       [] {
         TWinNewObj* picker = Modal<TWinNewObj>();
         picker->List()->setCurrentIndex(picker->List()->model()->index(RowOfTicker(*picker, kPriceTicker), 0));
         picker->OkayButton()->click();
       }},
      {"PETR4 picked", [this] { return NoModal() && main_.Ctl().CurObj().AnbCod == kPriceTicker; },
       [this] { Type(&main_, Qt::Key_F3); }},
      {"chooser for the price window", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [this] { main_.Chooser().Button(kChooserKindBase + kKindQuotes)->click(); }},
      {"price window", [prices] { return NoModal() && prices() && prices()->Window().Rows() > 0; },
       [this, prices] {
         Save(&main_, "prices.png");
         prices()->RangeButton()->click();
       }},
      {"range dialog", [prices] { return prices() && prices()->RangeDialog() && prices()->RangeDialog()->isVisible(); },
       [this, prices] {
         Save(prices()->RangeDialog(), "prices-range.png");
         prices()->RangeDialog()->reject();
       }},
      {"range dialog closed", [prices] { return NoModal() && prices(); }, [this] { Type(&main_, Qt::Key_F3); }},
  };
}

// Petrobras's statements with a failed check, the header dialog of a new statement and a column's
// popup; the run ends by closing the main window.
std::vector<tScreens::TStep> tScreens::StatementSteps() {
  auto chooserButton = [this](int kind) { main_.Chooser().Button(kChooserKindBase + kind)->click(); };
  return {
      {"chooser for the statements", [this] { return Modal<QWidget>() == &main_.Chooser(); },
       [chooserButton] { chooserButton(kKindStatements); }},
      {"statements", [this] { return NoModal() && Statements(main_) && Statements(main_)->Window().ColumnCount() > 0; },
       [this] {
         // The tool panel's controls and the statements side by side need more than the restored size.
         main_.resize(main_.screen()->availableGeometry().size() - kScreenMargin);
         Type(&main_, Qt::Key_F10);
       }},
      {"every statement read", [this] { return NoModal() && StatementsLoaded(main_); },
       [this] {
         // The 2022 statement, whose check failed: its total assets, with the check's text below.
         tBalWinView* view = Statements(main_);
         view->SelectCell(kFailedColumn, RowOfAccount(*view, kTotalAssets));
       }},
      {"statement with a failed check",
       [this] { return NoModal() && StatementsLoaded(main_) && Statements(main_)->CurrentGridCol() == kFailedColumn; },
       [this] {
         Save(&main_, "statements.png");
         Statements(main_)->NewButton()->click();
       }},
      {"header dialog", [] { return Modal<TEditaHeaderBal>() != nullptr; },
       [this] {
         Save(Modal<TEditaHeaderBal>(), "statement-header.png");
         Modal<TEditaHeaderBal>()->reject();
       }},
      {"statement popup", [this] { return NoModal() && StatementsLoaded(main_); },
       [this] {
         tBalWinView* view = Statements(main_);
         const int section = kFailedColumn - 1;
         const tBalHeaderView& header = *view->HeaderView();
         const QPoint at(header.sectionViewportPosition(section) + header.sectionSize(section) / 2,
                         header.height() / 2);
         view->OpenPopup(kFailedColumn, view->HeaderView()->viewport()->mapToGlobal(at));
       }},
      {"popup open",
       [this] {
         return StatementsLoaded(main_) && Statements(main_)->Popup() && Statements(main_)->Popup()->isVisible();
       },
       [this] {
         SaveScreen(main_, "statement-popup.png");
         Statements(main_)->Popup()->close();
       }},
      {"statements again", [this] { return NoModal() && StatementsLoaded(main_) && !Statements(main_)->Popup(); },
       [this] { main_.close(); }},
  };
}

}  // namespace zi::desktop
