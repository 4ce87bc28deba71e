#pragma once
// The Qt adapters of the framework: the curtain, the document window's widget with its tool panel,
// the save question, the grid with its in-place editor, and the guard that keeps exceptions out of
// Qt's event loop.

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/main_window_ctl.h"
#include "desktop/core/mdi_child_grid.h"

class QPainter;
class QPushButton;
class QToolButton;

namespace zi::desktop {

// Runs body; an exception is logged and shown in a box instead of reaching the event loop.
void CallGuarded(const char* where, const std::function<void()>& body);

// A Yes/No box over the active window, "\r\n" as line breaks; true for Yes.
bool AskQtYesNo(const std::string& caption, const std::string& text, bool noIsDefault, QMessageBox::Icon icon);

// Program text (Windows-1252) to and from Qt.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

// The key as the framework knows it.
TKey KeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// Covers its form's client area until the form's first paint is done.
class tCortina : public QWidget {
 public:
  tCortina(QWidget* owner, tZiForm& form);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  tZiForm& form_;
};

// The widget of a document window: the curtain, the tool panel in the main window's toolbar and
// its undo button.
class tDocWidget : public QWidget, public tMdiChildView, public tDocWindow {
 public:
  // toolbar: where the tool panel goes (the main window's toolbar), or none.
  tDocWidget(std::unique_ptr<tMdiChild> child, QWidget* parent, QWidget* toolbar);
  ~tDocWidget() override;

  tMdiChild& Child() override { return *child_; }
  void SetCurtainVisible(bool visible) override;
  void PostFirstPaint() override;
  void CreateToolPanel(bool withUndo) override;
  void SetUndoEnabled(bool enabled) override;
  void ArrangeToolPanel();
  QWidget* ToolPanel() const { return toolPanel_; }
  QToolButton* UndoButton() const { return undo_; }
  // Places the tool panel from x to the toolbar's right edge, at the given top and height.
  void PlaceToolPanel(int x, int top, int height);
  // Replaced: hidden with its tool panel, and no longer loads, until its deferred deletion.
  void Retire();
  bool Retired() const { return retired_; }

 private:
  std::unique_ptr<tMdiChild> child_;
  QWidget* toolbar_;
  tCortina* curtain_;
  // In the main window's toolbar, which may go first when the main window does.
  QPointer<QWidget> toolPanel_;
  QToolButton* undo_ = nullptr;
  bool retired_ = false;
};

// The save question: "Save changes" (6), "Discard changes" (7), "Resume editing" (2, also Escape
// and the title bar).
class tSaveDialog : public QDialog {
 public:
  explicit tSaveDialog(QWidget* parent);
  int Ask(bool hasDataError);
  QPushButton* SaveButton() const { return save_; }
  QPushButton* DiscardButton() const { return discard_; }
  QPushButton* ResumeButton() const { return resume_; }
  void reject() override;

 private:
  QPushButton* save_;
  QPushButton* discard_;
  QPushButton* resume_;
};

// What a grid shows outside editing.
using TCellText = std::function<std::string(int col, int row)>;
// Paints a cell in place of the grid's own drawing of its text.
using TCellPainter = std::function<void(QPainter* painter, const QStyleOptionViewItem& option, int col, int row)>;
// A cell's background (RGB).
using TCellColour = std::function<uint32_t(int col, int row)>;

class TMyGrid;

// The in-place editor: selects its whole text when asked by a posted request.
class TMyInplaceEdit : public QLineEdit {
 public:
  explicit TMyInplaceEdit(QWidget* parent);
  void PostSelectAll();

 protected:
  bool event(QEvent* event) override;
};

// A grid whose editing is driven by its tMdiChildGrid: the window answers the text to edit and
// takes the edited text; Enter moves to the next field that is not skipped. Rows and columns are
// numbered as the window numbers them; its fixed rows and columns are the view's headers, not cells.
class TMyGrid : public QTableView, public tGridView {
 public:
  TMyGrid(QWidget* parent, tMdiChildGrid& window, TCellText cellText, int fixedRows = 0, int fixedCols = 0);
  ~TMyGrid() override;
  // The grid's size changed: rows and columns (the fixed ones included) are read again.
  void Reset(int rows, int cols);
  // The column headings (Windows-1252); a column without one shows its number.
  void SetHeaders(std::vector<std::string> headers);
  // The cells' backgrounds; without it the view's own.
  void SetCellColour(TCellColour colour);
  void RepaintColumn(int col);
  TMyInplaceEdit* Editor() const;
  void SetCellPainter(TCellPainter painter);
  // Where the in-place editor puts its text (left unless told).
  void SetEditorAlignment(Qt::Alignment alignment) { editorAlignment_ = alignment; }
  // The window's row and column of a cell of the view, and the view's cell of a window's row and column.
  int GridRow(const QModelIndex& index) const { return index.row() + fixedRows_; }
  int GridCol(const QModelIndex& index) const { return index.column() + fixedCols_; }
  QModelIndex IndexOf(int col, int row) const;

  int RowCount() const override;
  int ColCount() const override;
  int FixedRows() const override { return fixedRows_; }
  int FixedCols() const override { return fixedCols_; }
  void SetEditorEnabled(bool enabled) override;
  bool HasInplaceEditor() const override { return true; }
  void SetEditorLook(uint32_t colour, bool readOnly) override;
  void PostSelectAll() override;
  void MoveToRow(int row) override;
  void MoveToCol(int col) override;
  void Repaint() override;
  uint32_t Colour() const override { return kWhite; }

  // From the editor's delegate.
  void EditorEnter(QWidget* editor);

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void focusInEvent(QFocusEvent* event) override;
  void commitData(QWidget* editor) override;

 private:
  class tModel;
  class tDelegate;
  void OpenEditor();
  void MoveTo(const QModelIndex& index);

  tMdiChildGrid& window_;
  int fixedRows_;
  int fixedCols_;
  TCellPainter cellPainter_;
  std::unique_ptr<tModel> model_;
  std::unique_ptr<tDelegate> delegate_;
  bool editorEnabled_ = false;
  uint32_t editorColour_ = kWhite;
  bool editorReadOnly_ = false;
  Qt::Alignment editorAlignment_ = Qt::AlignLeft | Qt::AlignVCenter;
  // The open editor; a closed one may live on until its deferred deletion.
  QPointer<TMyInplaceEdit> editor_;
};

}  // namespace zi::desktop
