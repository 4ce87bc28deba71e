#pragma once
// A document window whose records are edited in the cells of a grid. The window keeps one pending
// cell and one pending record and turns the grid's questions into EnterRecord, GetFieldEdit,
// StoreFieldText and LeaveRecord calls.

#include <cstdint>
#include <string>

#include "desktop/core/mdi_child.h"

namespace zi::desktop {

// What the window needs of its grid.
class tGridView {
 public:
  virtual ~tGridView() = default;
  virtual int RowCount() const = 0;
  virtual int ColCount() const = 0;
  virtual int FixedRows() const = 0;
  virtual int FixedCols() const = 0;
  virtual void SetEditorEnabled(bool enabled) = 0;
  // The grid has the in-place editor of our own (select all on request, colour, read-only).
  virtual bool HasInplaceEditor() const = 0;
  virtual void SetEditorLook(uint32_t colour, bool readOnly) = 0;
  virtual void PostSelectAll() = 0;
  virtual void MoveToRow(int row) = 0;
  virtual void MoveToCol(int col) = 0;
  virtual void Repaint() = 0;
  virtual uint32_t Colour() const = 0;
};

inline constexpr uint32_t kWhite = 0xFFFFFF;

struct TFieldEdit {
  std::string text;
  bool readOnly = false;
  bool skip = false;
  uint32_t colour = kWhite;
};

class tMdiChildGrid : public tMdiChild {
 public:
  enum EditMode { kNoEdit = 0, kRecordsInColumns = 1, kRecordsInRows = 2 };

  void AttachGrid(tGridView* grid);
  void SetEditMode(int mode);
  int EditMode() const { return mode_; }
  void RestartEdit();
  void CancelCellEdit();
  void CommitCell();
  bool CommitRecord();
  void GoToCell(int record, int field);

  // The grid's questions, in grid coordinates; in mode 0 they do nothing.
  std::string GetEditText(int col, int row);
  void SetEditText(int col, int row, const std::string& text);
  // Enter in the grid: true when handled.
  bool KeyEnter();
  bool HandleShortCut(const TKeyMessage& message) override;
  // Escape and Enter reach the window from the grid's in-place editor (Escape restores the cell).
  bool TakesKeyInEditor(TKey key) const override { return key == TKey::Escape || key == TKey::Enter; }
  bool HasDataChanged() const override;

  int CurRecord() const { return record_; }
  int CurField() const { return field_; }
  bool RecordChanged() const { return recordChanged_; }
  const std::string& InitialText() const { return initialText_; }
  const std::string& EditedText() const { return editedText_; }

 protected:
  virtual void EnterRecord(int record) = 0;
  virtual bool LeaveRecord() = 0;
  virtual TFieldEdit GetFieldEdit(int field);
  virtual void StoreFieldText(int field, const std::string& text) = 0;

  void ObjDataUndo() override;
  bool ObjDataSave() override;

 private:
  void ResetPendingCell();
  void Reopen();
  int FieldCount() const;

  tGridView* grid_ = nullptr;
  bool inplaceEditor_ = false;
  int mode_ = kNoEdit;
  int record_ = -1;
  bool recordChanged_ = false;
  int field_ = -1;
  std::string initialText_;
  std::string editedText_;
  uint32_t colour_ = kWhite;
  bool skip_ = false;
  bool readOnly_ = false;
};

}  // namespace zi::desktop
