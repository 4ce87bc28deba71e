#include "desktop/statements/statement_window_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <string>

#include "desktop/core/window_kinds.h"
#include "desktop/statements/statement_grid.h"
#include "desktop/statements/statement_header_dialog.h"

namespace zi::desktop {

namespace {

constexpr int kLabelCols = 1;
constexpr int kEmptyColumnWidth = 4;
constexpr int kColumnHeights = 7;
constexpr int kLabelHeights = 40;
constexpr int kShownColumns = 5;
constexpr int kControlHeight = 25;
constexpr int kDocTypeWidth = 170;
constexpr int kPanelPointSize = 7;
constexpr int kMaxDecimals = 4;
// A button of a group shows plainly whether it is down.
constexpr const char* kGroupButton =
    "QToolButton { border: 1px solid #a0a0a0; border-radius: 2px; background: #f4f4f4; padding: 0 4px; }"
    "QToolButton:checked { background: #c9d7ec; border-color: #4a6ea8; }";
// The three-month button's caption is red and bold while it is down.
constexpr const char* kDownRedBold = "QToolButton:checked { color: red; font-weight: bold; }";

// The captions keep their "&&" (one "&" on screen); a "\r" breaks the line.
QString Caption(const std::string& caption) {
  QString shown = ToQt(caption);
  shown.replace("\r\n", "\n");
  shown.replace('\r', '\n');
  return shown;
}

// The wait cursor for the scope of a long operation.
struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// The window as the main window's keys reach it: F10 reads every statement wherever the focus is,
// the cell editor included, under the view's wait cursor.
class tBalWinOnScreen : public tBalWin {
 public:
  using tBalWin::tBalWin;
  bool HandleShortCut(const TKeyMessage& message) override {
    if (message.key == TKey::F10 && onLoadAll) {
      onLoadAll();
      return true;
    }
    return tBalWin::HandleShortCut(message);
  }
  bool TakesKeyInEditor(TKey key) const override { return key == TKey::F10 || tBalWin::TakesKeyInEditor(key); }

  std::function<void()> onLoadAll;
};

THeaderDialog QtHeaderDialog(QWidget* parent) {
  return [parent](const THeaderDialogRequest& request) {
    TEditaHeaderBal dialog(parent ? parent->window() : nullptr);
    return dialog.Ask(request);
  };
}

}  // namespace

tBalWinView::tBalWinView(QWidget* parent, QWidget* toolbar)
    : tDocWidget(std::make_unique<tBalWinOnScreen>(QtHeaderDialog(parent)), parent, toolbar),
      window_(static_cast<tBalWin*>(&Child())),
      grid_(new TMyGrid(
          this, *window_,
          [this](int col, int row) {
            return col >= kLabelCols && row >= kStmHeaderRows ? window_->Cell(col, row).text : std::string();
          },
          kStmHeaderRows, kLabelCols)),
      header_(new tBalHeaderView(
          grid_, kLabelCols, [this](int col, int line) { return window_->HeaderText(col, line); },
          [this](int col, const QPoint& at) { CallGuarded("TBalWin.Popup", [&] { OpenPopup(col, at); }); })),
      labels_(new tBalLabelView(grid_, kStmHeaderRows, [this](int row) { return window_->Label(row); })),
      status_(new tBalStatusLine(this)) {
  setWindowTitle(KindTitle(kKindStatements));
  grid_->setHorizontalHeader(header_);
  grid_->setVerticalHeader(labels_);
  header_->setMinimumSectionSize(0);
  header_->setSectionResizeMode(QHeaderView::Fixed);
  labels_->setSectionResizeMode(QHeaderView::Fixed);
  grid_->SetCellPainter([this](QPainter* painter, const QStyleOptionViewItem& option, int col, int row) {
    PaintCell(painter, option, col, row);
  });
  grid_->setCornerButtonEnabled(false);
  grid_->SetEditorAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if ((corner_ = grid_->findChild<QAbstractButton*>())) corner_->installEventFilter(this);
  grid_->viewport()->installEventFilter(this);
  window_->SetStatementView(this);
  window_->AttachGrid(grid_);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(grid_, 1);
  row->addStretch(0);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(row, 1);
  layout->addWidget(status_);
  connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { CallGuarded("TBalWin.CellMoved", [&] { CurrentMoved(current); }); });
  connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { PostLoadVisible(); });
  // The user's own scrolling, not the window's scrolling to its current cell.
  connect(grid_->horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
    if (!narrowed_) return;
    narrowed_ = false;
    grid_->setMaximumWidth(QWIDGETSIZE_MAX);
  });
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget* old, QWidget* now) { CallGuarded("TBalWin.Focus", [&] { FocusMoved(old, now); }); });
  window_->CreateToolPanel(false);
  grid_->hide();
  static_cast<tBalWinOnScreen*>(window_)->onLoadAll = [this] { LoadAllWaiting(); };
}

tBalWinView::~tBalWinView() {
  // The grid goes first, and the focus changes its editor causes reach nobody, while the window the
  // grid reports to is still here (the window goes with the base class).
  disconnect(qApp, nullptr, this, nullptr);
  window_->SetStatementView(nullptr);
  delete grid_;
}

void tBalWinView::CreateToolPanel(bool withUndo) {
  tDocWidget::CreateToolPanel(withUndo);
  QWidget* panel = ToolPanel();
  QFont small = panel->font();
  small.setPointSize(kPanelPointSize);
  new_ = new QToolButton(panel);
  new_->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
  new_->setToolTip("Create new Financial Statement");
  new_->setFixedSize(kControlHeight, kControlHeight);
  connect(new_, &QToolButton::clicked, this,
          [this] { CallGuarded("TBalWin.New", [this] { window_->NewStatement(); }); });
  units_ = new QComboBox(panel);
  for (const std::string& item : tBalWin::DivisorItems()) units_->addItem(ToQt(item));
  connect(units_, &QComboBox::activated, this, [this](int index) {
    CallGuarded("TBalWin.Units", [&] { window_->SetDivisor(index); });
    grid_->viewport()->update();
  });
  auto* decimalsLabel = new QLabel("Decimal places", panel);
  decimals_ = new QComboBox(panel);
  for (int d = 0; d <= kMaxDecimals; ++d) decimals_->addItem(QString::number(d));
  connect(decimals_, &QComboBox::activated, this, [this](int index) {
    CallGuarded("TBalWin.Decimals", [&] { window_->SetDecimals(index); });
    grid_->viewport()->update();
  });
  auto group = [&](std::vector<TStmButton> buttons, std::vector<QToolButton*>& made, QButtonGroup*& into, int width) {
    into = new QButtonGroup(panel);
    into->setExclusive(true);
    for (const TStmButton& button : buttons) {
      auto* tool = new QToolButton(panel);
      tool->setText(Caption(button.caption));
      tool->setCheckable(true);
      tool->setFont(small);
      tool->setFocusPolicy(Qt::NoFocus);
      tool->setFixedHeight(kControlHeight);
      tool->setStyleSheet(kGroupButton);
      if (width > 0) tool->setFixedWidth(width);
      into->addButton(tool, button.value);
      connect(tool, &QToolButton::clicked, this, [this] { CallGuarded("TBalWin.Switch", [this] { Switch(); }); });
      made.push_back(tool);
    }
  };
  group(window_->PeriodButtons(), periodButtons_, periods_, 0);
  group(window_->SourceButtons(), sourceButtons_, sources_, 0);
  group(window_->DocTypeButtons(), docTypeButtons_, docTypes_, kDocTypeWidth);
  if (periodButtons_.size() > 1) periodButtons_[1]->setStyleSheet(QString(kGroupButton) + kDownRedBold);
  for (QWidget* control : std::initializer_list<QWidget*>{units_, decimalsLabel, decimals_}) {
    control->setFont(small);
    control->adjustSize();
  }
  // The panel is on screen already: what is added to it shows only when told to.
  for (QWidget* control : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) control->show();
  const bool sourcesShown = window_->SourceButtonsVisible();
  for (QToolButton* button : sourceButtons_) button->setVisible(sourcesShown);
  SyncButtons();
  ArrangeToolPanel();
}

void tBalWinView::SyncButtons() {
  const TStmViewKey& key = window_->ViewKey();
  const auto check = [](QButtonGroup* group, int value) {
    if (!group) return;
    const QSignalBlocker blocker(group);
    if (QAbstractButton* button = group->button(value)) {
      button->setChecked(true);
      return;
    }
    // No button for the value: every button of the group is up.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) button->setChecked(false);
    group->setExclusive(true);
  };
  check(periods_, key.periodo);
  check(sources_, key.source);
  check(docTypes_, key.tipoDocumento);
  if (units_) {
    const QSignalBlocker blocker(units_);
    units_->setCurrentIndex(window_->DivisorIndex());
  }
  if (decimals_) {
    const QSignalBlocker blocker(decimals_);
    decimals_->setCurrentIndex(window_->Decimals());
  }
}

// The buttons that are down name the view asked for; a refused switch puts them back.
void tBalWinView::Switch() {
  TStmViewKey key = window_->ViewKey();
  if (periods_ && periods_->checkedId() != -1) key.periodo = periods_->checkedId();
  key.source = sources_ && sources_->checkedId() != -1 ? sources_->checkedId() : 0;
  if (docTypes_ && docTypes_->checkedId() != -1) key.tipoDocumento = docTypes_->checkedId();
  window_->SwitchView(key);
  SyncButtons();
}

void tBalWinView::ShowAll() {
  asked_.clear();
  grid_->Reset(window_->RowCount(), window_->ColCount());
  // The window may have switched its editor on before the grid had its new size; it opens once
  // the window has chosen its current cell.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!Retired() && window_->EditMode() != tMdiChildGrid::kNoEdit && grid_->RowCount() > grid_->FixedRows() &&
            grid_->ColCount() > grid_->FixedCols())
          grid_->SetEditorEnabled(true);
      },
      Qt::QueuedConnection);
  SetSizes();
  grid_->setVisible(window_->GridVisible());
  header_->viewport()->update();
  labels_->viewport()->update();
  if (corner_) corner_->update();
  grid_->viewport()->update();
  ShowStatus();
  PostLoadVisible();
}

void tBalWinView::SetSizes() {
  const int height = grid_->fontMetrics().height();
  const int columnWidth = kColumnHeights * height;
  header_->setDefaultSectionSize(window_->ColumnCount() == 0 ? kEmptyColumnWidth : columnWidth);
  labels_->setDefaultSectionSize(height * 3 / 2);
  labels_->SetWidth(kLabelHeights * height);
  narrowed_ = window_->ColumnCount() > kShownColumns;
  if (narrowed_) {
    const int frame = 2 * grid_->frameWidth();
    grid_->setMaximumWidth(kLabelHeights * height + kShownColumns * columnWidth +
                           grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + frame);
  } else {
    grid_->setMaximumWidth(QWIDGETSIZE_MAX);
  }
}

void tBalWinView::RedrawColumn(int col) {
  grid_->RepaintColumn(col);
  header_->viewport()->update();
  labels_->viewport()->update();
}

void tBalWinView::ShowStatus() { status_->Show(window_->Status()); }

void tBalWinView::SelectCell(int col, int row) {
  const QModelIndex index = grid_->IndexOf(col, row);
  if (!index.isValid()) return;
  grid_->setCurrentIndex(index);
  grid_->scrollTo(index);
  PostLoadVisible();
}

int tBalWinView::CurrentGridCol() const {
  const QModelIndex current = grid_->currentIndex();
  return current.isValid() ? grid_->GridCol(current) : -1;
}

int tBalWinView::CurrentGridRow() const {
  const QModelIndex current = grid_->currentIndex();
  return current.isValid() ? grid_->GridRow(current) : -1;
}

void tBalWinView::CurrentMoved(const QModelIndex& current) {
  if (!current.isValid()) return;
  window_->SetCurrentCell(grid_->GridCol(current), grid_->GridRow(current));
  labels_->viewport()->update();
  ShowStatus();
}

// Leaving the grid for another control of the window empties the status line; a dialog that takes
// the focus for a moment does not count, and nothing is committed either way.
void tBalWinView::FocusMoved(QWidget* old, QWidget* now) {
  const auto inGrid = [this](const QWidget* widget) {
    return widget && (widget == grid_ || grid_->isAncestorOf(widget));
  };
  if (inGrid(old) && now && !inGrid(now) && now->window() == window()) {
    window_->SetCurrentCell(-1, -1);
  } else if (inGrid(now) && !inGrid(old) && window_->CurrentCol() < 0) {
    CurrentMoved(grid_->currentIndex());
  }
}

void tBalWinView::PaintCell(QPainter* painter, const QStyleOptionViewItem& option, int col, int row) {
  PaintText(painter, option.rect, window_->Cell(col, row), option.font);
}

void tBalWinView::PaintCorner(QWidget* corner) {
  QPainter painter(corner);
  const int height = header_->LineHeight();
  for (int line = 0; line < kStmHeaderRows; ++line) {
    const QRect area(0, line * height, corner->width(), height);
    PaintText(&painter, area, window_->HeaderText(0, line), corner->font());
  }
}

void tBalWinView::PostLoadVisible() {
  if (loadPosted_) return;
  loadPosted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        loadPosted_ = false;
        if (!Retired()) CallGuarded("TBalWin.EnsureLoaded", [this] { LoadVisible(); });
      },
      Qt::QueuedConnection);
}

void tBalWinView::LoadVisible() {
  if (!window_->GridVisible() || window_->ColumnCount() == 0) return;
  const int first = std::max(0, header_->logicalIndexAt(0));
  int last = header_->logicalIndexAt(grid_->viewport()->width() - 1);
  if (last < 0) last = header_->count() - 1;
  std::vector<int> cols;
  for (int section = first; section <= last; ++section) {
    const int col = section + kLabelCols;
    if (!window_->ColumnLoaded(col) && asked_.insert(col).second) cols.push_back(col);
  }
  if (cols.empty()) return;
  window_->EnsureLoaded(cols);
  grid_->viewport()->update();
  header_->viewport()->update();
  ShowStatus();
}

void tBalWinView::LoadAllWaiting() {
  {
    const TWaitCursor wait;
    window_->LoadAll();
  }
  grid_->viewport()->update();
  header_->viewport()->update();
  ShowStatus();
}

void tBalWinView::OpenPopup(int col, const QPoint& globalPos) {
  if (col < kLabelCols || col >= kLabelCols + window_->ColumnCount()) return;
  window_->EnsureLoaded({col});
  header_->viewport()->update();
  QMenu menu(this);
  for (const TStmMenuItem& item : window_->MenuState(col)) {
    QAction* action = menu.addAction(ToQt(item.caption));
    action->setEnabled(item.enabled);
    action->setData(static_cast<int>(item.action));
  }
  popup_ = &menu;
  // The menu runs its own loop: the window may be replaced meanwhile (a message of the main window).
  const QPointer<tBalWinView> alive(this);
  const QAction* chosen = menu.exec(globalPos);
  if (!alive) return;
  popup_ = nullptr;
  if (Retired() || !chosen) return;
  switch (static_cast<TStmMenuItem::Action>(chosen->data().toInt())) {
    case TStmMenuItem::kUndo:
      window_->Undo(col);
      break;
    case TStmMenuItem::kDelete:
      window_->Delete(col);
      break;
    case TStmMenuItem::kIgnoreErrors:
      window_->IgnoreErrors(col);
      break;
    case TStmMenuItem::kResend:
      window_->Resend(col);
      break;
  }
  grid_->viewport()->update();
  header_->viewport()->update();
  ShowStatus();
}

bool tBalWinView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == corner_ && event->type() == QEvent::Paint) {
    CallGuarded("TBalWin.Corner", [this] { PaintCorner(corner_); });
    return true;
  }
  if (watched == grid_->viewport() && event->type() == QEvent::Resize) PostLoadVisible();
  return tDocWidget::eventFilter(watched, event);
}

}  // namespace zi::desktop
