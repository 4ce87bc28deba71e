#include "desktop/forms.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QColor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "desktop/core/window_kinds.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

namespace {

// The select-all request posted to an in-place editor.
const QEvent::Type kSelectAllEvent = static_cast<QEvent::Type>(QEvent::User + 1570);
constexpr int kToolPanelGap = 7;
constexpr int kUndoButtonSize = 25;

}  // namespace

void CallGuarded(const char* where, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    ReportException(where, e);
    ShowErrorBox("Error", e.what());
  }
}

bool AskQtYesNo(const std::string& caption, const std::string& text, bool noIsDefault, QMessageBox::Icon icon) {
  QString shown = ToQt(text);
  shown.replace("\r\n", "\n");
  QMessageBox box(icon, ToQt(caption), shown, QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setDefaultButton(noIsDefault ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

QString ToQt(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }

std::string FromQt(const QString& text) { return Utf8ToCp1252Lossy(text.toStdString()); }

TKey KeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held = modifiers & (Qt::ControlModifier | Qt::AltModifier);
  if (held == Qt::ControlModifier && qtKey == Qt::Key_F10) return TKey::CtrlF10;
  if (held) return TKey::Other;
  switch (qtKey) {
    case Qt::Key_F2: return TKey::F2;
    case Qt::Key_F3: return TKey::F3;
    case Qt::Key_F10: return TKey::F10;
    case Qt::Key_F11: return TKey::F11;
    case Qt::Key_F12: return TKey::F12;
    case Qt::Key_Insert: return TKey::Insert;
    case Qt::Key_Delete: return TKey::Delete;
    case Qt::Key_Return:
    case Qt::Key_Enter: return TKey::Enter;
    case Qt::Key_Escape: return TKey::Escape;
    case Qt::Key_Tab: return TKey::Tab;
    default: return TKey::Other;
  }
}

tCortina::tCortina(QWidget* owner, tZiForm& form) : QWidget(owner), form_(form) {
  setAutoFillBackground(true);
  setGeometry(owner->rect());
  owner->installEventFilter(this);
  raise();
}

void tCortina::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // The load is queued, never run inside this paint.
  CallGuarded("tCortina.Paint", [&] { form_.CurtainPaint(!event->rect().isEmpty()); });
}

bool tCortina::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) setGeometry(static_cast<QWidget*>(watched)->rect());
  return false;
}

tDocWidget::tDocWidget(std::unique_ptr<tMdiChild> child, QWidget* parent, QWidget* toolbar)
    : QWidget(parent), child_(std::move(child)), toolbar_(toolbar), curtain_(new tCortina(this, *child_)) {
  child_->SetView(this);
  LogaDebug(std::string(child_->ClassName()) + " Create");
}

tDocWidget::~tDocWidget() {
  // The tool panel sits in the main window's toolbar but goes with its window.
  delete toolPanel_;
  child_->SetView(nullptr);
}

void tDocWidget::SetCurtainVisible(bool visible) {
  curtain_->setVisible(visible);
  if (visible) {
    curtain_->raise();
    update();
  }
}

void tDocWidget::PostFirstPaint() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!retired_) CallGuarded("tZiForm.FirstPaint", [this] { child_->RunFirstPaint(); });
      },
      Qt::QueuedConnection);
}

void tDocWidget::Retire() {
  retired_ = true;
  hide();
  if (toolPanel_) toolPanel_->hide();
}

void tDocWidget::CreateToolPanel(bool withUndo) {
  toolPanel_ = new QWidget(toolbar_ ? toolbar_ : this);
  if (withUndo) {
    undo_ = new QToolButton(toolPanel_);
    undo_->setFixedSize(kUndoButtonSize, kUndoButtonSize);
    undo_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    undo_->setToolTip("Undo");
    undo_->setEnabled(false);
    QObject::connect(undo_, &QToolButton::clicked, this,
                     [this] { CallGuarded("tMdiChild.ButUndoClick", [this] { child_->ButUndoClick(); }); });
  }
  ArrangeToolPanel();
  toolPanel_->show();
}

void tDocWidget::SetUndoEnabled(bool enabled) {
  if (undo_) undo_->setEnabled(enabled);
}

void tDocWidget::ArrangeToolPanel() {
  if (!toolPanel_) return;
  int x = 0;
  for (QObject* object : toolPanel_->children()) {
    auto* control = qobject_cast<QWidget*>(object);
    if (!control) continue;
    control->move(x, (toolPanel_->height() - control->height()) / 2);
    x = control->geometry().right() + 1 + kToolPanelGap;
  }
}

void tDocWidget::PlaceToolPanel(int x, int top, int height) {
  if (!toolPanel_ || !toolbar_) return;
  toolPanel_->setGeometry(x, top, toolbar_->width() - 1 - x, height);
  ArrangeToolPanel();
}

tSaveDialog::tSaveDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      save_(new QPushButton("Save changes", this)),
      discard_(new QPushButton("Discard changes", this)),
      resume_(new QPushButton("Resume editing", this)) {
  setWindowTitle("Warning");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel("There is unsaved data in the window you are about to close !", this);
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {save_, discard_, resume_}) buttons->addWidget(button);
  layout->addLayout(buttons);
  save_->setDefault(true);
  connect(save_, &QPushButton::clicked, this, [this] { done(kMrYes); });
  connect(discard_, &QPushButton::clicked, this, [this] { done(kMrNo); });
  connect(resume_, &QPushButton::clicked, this, [this] { done(kMrCancel); });
}

int tSaveDialog::Ask(bool hasDataError) {
  QPushButton* focused = hasDataError ? resume_ : save_;
  focused->setDefault(true);
  (hasDataError ? save_ : resume_)->setDefault(false);
  focused->setFocus();
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  return exec();
}

void tSaveDialog::reject() { done(kMrCancel); }

TMyInplaceEdit::TMyInplaceEdit(QWidget* parent) : QLineEdit(parent) { setFrame(false); }

void TMyInplaceEdit::PostSelectAll() { QCoreApplication::postEvent(this, new QEvent(kSelectAllEvent)); }

bool TMyInplaceEdit::event(QEvent* event) {
  if (event->type() == kSelectAllEvent) {
    selectAll();
    return true;
  }
  return QLineEdit::event(event);
}

class TMyGrid::tModel : public QAbstractTableModel {
 public:
  tModel(TMyGrid& grid, TCellText cellText) : grid_(grid), cellText_(std::move(cellText)) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : cols_; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const int col = grid_.GridCol(index);
    const int row = grid_.GridRow(index);
    if (role == Qt::DisplayRole) return ToQt(cellText_(col, row));
    if (role == Qt::BackgroundRole && cellColour_) return QColor(static_cast<QRgb>(cellColour_(col, row)));
    if (role == Qt::EditRole) {
      std::string text;
      CallGuarded("TMyGrid.GetEditText", [&] { text = grid_.window_.GetEditText(col, row); });
      return ToQt(text);
    }
    return {};
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || role != Qt::EditRole) return false;
    CallGuarded("TMyGrid.SetEditText",
                [&] {
                  grid_.window_.SetEditText(grid_.GridCol(index), grid_.GridRow(index), FromQt(value.toString()));
                });
    emit dataChanged(index, index);
    return true;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < static_cast<int>(headers_.size()))
      return ToQt(headers_[static_cast<size_t>(section)]);
    return QAbstractTableModel::headerData(section, orientation, role);
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (grid_.editorEnabled_) flags |= Qt::ItemIsEditable;
    return flags;
  }

  void Reset(int rows, int cols) {
    beginResetModel();
    rows_ = std::max(0, rows);
    cols_ = std::max(0, cols);
    endResetModel();
  }
  void Changed(int firstCol, int lastCol) {
    if (rows_ > 0 && firstCol >= 0 && firstCol <= lastCol && lastCol < cols_)
      emit dataChanged(index(0, firstCol), index(rows_ - 1, lastCol));
  }
  void SetHeaders(std::vector<std::string> headers) {
    headers_ = std::move(headers);
    if (cols_ > 0) emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
  }
  void SetCellColour(TCellColour colour) {
    cellColour_ = std::move(colour);
    Changed(0, cols_ - 1);
  }

 private:
  TMyGrid& grid_;
  TCellText cellText_;
  TCellColour cellColour_;
  std::vector<std::string> headers_;
  int rows_ = 0;
  int cols_ = 0;
};

class TMyGrid::tDelegate : public QStyledItemDelegate {
 public:
  explicit tDelegate(TMyGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    auto* editor = new TMyInplaceEdit(parent);
    grid_.editor_ = editor;
    editor->setAlignment(grid_.editorAlignment_);
    // The window hears every change of the text, as a typed cell counts as a pending edit: a save
    // or a close asked for while the editor is still open (F2, F3) takes what it shows.
    const QPersistentModelIndex cell = index;
    connect(editor, &QLineEdit::textEdited, editor, [this, cell](const QString& text) {
      if (!cell.isValid()) return;
      CallGuarded("TMyGrid.SetEditText",
                  [&] { grid_.window_.SetEditText(grid_.GridCol(cell), grid_.GridRow(cell), FromQt(text)); });
    });
    return editor;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!grid_.cellPainter_) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    CallGuarded("TMyGrid.Paint",
                [&] { grid_.cellPainter_(painter, option, grid_.GridCol(index), grid_.GridRow(index)); });
  }

  // The cell's look is known once the window was asked for its text: the editor takes it then.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    QStyledItemDelegate::setEditorData(editor, index);
    auto* line = static_cast<TMyInplaceEdit*>(editor);
    line->setReadOnly(grid_.editorReadOnly_);
    line->setStyleSheet(QString("background-color: #%1").arg(grid_.editorColour_, 6, 16, QChar('0')));
  }

  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    if (editor == grid_.editor_) grid_.editor_ = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        grid_.EditorEnter(static_cast<QWidget*>(object));
        return true;
      }
      // Escape belongs to the window (it restores the cell); Tab stays with the grid's cursor.
      if (key->key() == Qt::Key_Escape) return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  TMyGrid& grid_;
};

TMyGrid::TMyGrid(QWidget* parent, tMdiChildGrid& window, TCellText cellText, int fixedRows, int fixedCols)
    : QTableView(parent),
      window_(window),
      fixedRows_(fixedRows),
      fixedCols_(fixedCols),
      model_(std::make_unique<tModel>(*this, std::move(cellText))),
      delegate_(std::make_unique<tDelegate>(*this)) {
  setModel(model_.get());
  setItemDelegate(delegate_.get());
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

TMyGrid::~TMyGrid() {
  setItemDelegate(nullptr);
  setModel(nullptr);
}

void TMyGrid::Reset(int rows, int cols) { model_->Reset(rows - fixedRows_, cols - fixedCols_); }

void TMyGrid::SetHeaders(std::vector<std::string> headers) { model_->SetHeaders(std::move(headers)); }

void TMyGrid::SetCellColour(TCellColour colour) { model_->SetCellColour(std::move(colour)); }

void TMyGrid::RepaintColumn(int col) { model_->Changed(col - fixedCols_, col - fixedCols_); }

void TMyGrid::SetCellPainter(TCellPainter painter) {
  cellPainter_ = std::move(painter);
  viewport()->update();
}

QModelIndex TMyGrid::IndexOf(int col, int row) const { return model_->index(row - fixedRows_, col - fixedCols_); }

TMyInplaceEdit* TMyGrid::Editor() const { return editor_; }

// The grid's focus is its editor's while it edits.
void TMyGrid::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  if (!editorEnabled_) return;
  OpenEditor();
  if (TMyInplaceEdit* editor = Editor()) editor->setFocus();
}

int TMyGrid::RowCount() const { return model_->rowCount({}) + fixedRows_; }
int TMyGrid::ColCount() const { return model_->columnCount({}) + fixedCols_; }

void TMyGrid::SetEditorEnabled(bool enabled) {
  editorEnabled_ = enabled;
  if (!enabled && editor_) {
    if (editor_->hasFocus()) setFocus();
    closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
  }
  // Opened after the current event: the window that switches its editing on may still be choosing
  // its current cell, and the editor would enter a record it is about to leave.
  if (enabled) QMetaObject::invokeMethod(this, [this] { OpenEditor(); }, Qt::QueuedConnection);
}

void TMyGrid::OpenEditor() {
  if (!editorEnabled_) return;
  if (!currentIndex().isValid() && RowCount() > 0 && ColCount() > 0) setCurrentIndex(model_->index(0, 0));
  if (currentIndex().isValid() && state() != QAbstractItemView::EditingState) edit(currentIndex());
}

void TMyGrid::SetEditorLook(uint32_t colour, bool readOnly) {
  editorColour_ = colour;
  editorReadOnly_ = readOnly;
}

void TMyGrid::PostSelectAll() {
  if (TMyInplaceEdit* editor = Editor()) editor->PostSelectAll();
}

// The grid takes the focus before the editor hides: a hidden focused editor would pass the focus
// on, and the view would take that for Tab and move the cursor once more.
void TMyGrid::MoveTo(const QModelIndex& index) {
  setFocus();
  setCurrentIndex(index);
}
void TMyGrid::MoveToRow(int row) { MoveTo(model_->index(row - fixedRows_, currentIndex().column())); }
void TMyGrid::MoveToCol(int col) { MoveTo(model_->index(currentIndex().row(), col - fixedCols_)); }
void TMyGrid::Repaint() { viewport()->update(); }

void TMyGrid::EditorEnter(QWidget*) {
  CallGuarded("TMyGrid.Enter", [this] { window_.KeyEnter(); });
}

// The editor reports each change as it is typed. Qt's own commits come when the editor closes or
// loses the focus to a box, and would report its text once more: a text the window has refused and
// put back (a "No" to its question) would be stored a second time.
void TMyGrid::commitData(QWidget*) {}

void TMyGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (editorEnabled_ && current.isValid()) QMetaObject::invokeMethod(this, [this] { OpenEditor(); }, Qt::QueuedConnection);
}

}  // namespace zi::desktop
