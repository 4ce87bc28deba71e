#include "desktop/core/mdi_child_grid.h"

#include <exception>
#include <typeinfo>

#include "toolbox/log.h"

namespace zi::desktop {

void tMdiChildGrid::AttachGrid(tGridView* grid) {
  if (!grid || grid_) FatalRunError250(std::string(ClassName()) + " AttachGrid");
  grid_ = grid;
}

void tMdiChildGrid::SetEditMode(int mode) {
  if (!grid_) FatalRunError250(std::string(ClassName()) + " SetEditMode without grid");
  CommitRecord();
  mode_ = mode;
  const bool editable = mode != kNoEdit && grid_->RowCount() >= 1 && grid_->FixedRows() < grid_->RowCount() &&
                        grid_->ColCount() >= 1 && grid_->FixedCols() < grid_->ColCount();
  try {
    grid_->SetEditorEnabled(editable);
  } catch (const std::exception& e) {
    Loga(std::string("MCG.EM G.EM error:") + e.what() + " " + typeid(e).name());
  }
  record_ = -1;
  recordChanged_ = false;
  ResetPendingCell();
  inplaceEditor_ = grid_->HasInplaceEditor();
}

void tMdiChildGrid::ResetPendingCell() {
  field_ = -1;
  initialText_.clear();
  editedText_.clear();
  colour_ = kWhite;
  skip_ = false;
  readOnly_ = false;
}

void tMdiChildGrid::Reopen() {
  const int mode = mode_;
  SetEditMode(kNoEdit);
  SetEditMode(mode);
}

void tMdiChildGrid::RestartEdit() {
  CommitRecord();
  Reopen();
}

void tMdiChildGrid::CancelCellEdit() {
  editedText_ = initialText_;
  Reopen();
}

void tMdiChildGrid::CommitCell() {
  if (mode_ == kNoEdit || editedText_ == initialText_) return;
  StoreFieldText(field_, editedText_);
  initialText_ = editedText_;
  recordChanged_ = true;
}

bool tMdiChildGrid::CommitRecord() {
  if (mode_ == kNoEdit) return true;
  CommitCell();
  if (!recordChanged_) return true;
  recordChanged_ = false;
  return LeaveRecord();
}

void tMdiChildGrid::GoToCell(int record, int field) {
  if (record == record_ && field == field_) return;
  // The text counts as stored only once the window took it: a refused text stays pending.
  if (editedText_ != initialText_) {
    StoreFieldText(field_, editedText_);
    initialText_ = editedText_;
    recordChanged_ = true;
  }
  if (recordChanged_ && record != record_) {
    recordChanged_ = false;
    if (!LeaveRecord() && grid_) grid_->Repaint();
  }
  if (record != record_) {
    record_ = record;
    EnterRecord(record);
    ResetPendingCell();
  }
  if (field != field_) {
    field_ = field;
    const TFieldEdit edit = GetFieldEdit(field);
    initialText_ = edit.text;
    readOnly_ = edit.readOnly;
    skip_ = edit.skip;
    colour_ = edit.colour;
    editedText_ = initialText_;
    if (inplaceEditor_) grid_->SetEditorLook(colour_, readOnly_);
  }
}

std::string tMdiChildGrid::GetEditText(int col, int row) {
  if (mode_ == kNoEdit) return {};
  if (mode_ == kRecordsInColumns) GoToCell(col, row);
  else GoToCell(row, col);
  return editedText_;
}

void tMdiChildGrid::SetEditText(int col, int row, const std::string& text) {
  if (mode_ == kNoEdit) return;
  if (mode_ == kRecordsInColumns) GoToCell(col, row);
  else GoToCell(row, col);
  editedText_ = text;
}

int tMdiChildGrid::FieldCount() const {
  if (!grid_) return 0;
  return mode_ == kRecordsInColumns ? grid_->RowCount() : grid_->ColCount();
}

bool tMdiChildGrid::KeyEnter() {
  if (mode_ == kNoEdit || field_ < 0) return false;
  CommitCell();
  for (int f = field_ + 1; f < FieldCount(); ++f) {
    if (GetFieldEdit(f).skip) continue;
    if (mode_ == kRecordsInColumns) grid_->MoveToRow(f);
    else grid_->MoveToCol(f);
    if (inplaceEditor_) grid_->PostSelectAll();
    break;
  }
  return true;
}

bool tMdiChildGrid::HandleShortCut(const TKeyMessage& message) {
  if (tMdiChild::HandleShortCut(message)) return true;
  if (message.key != TKey::Escape || !grid_ || !message.gridOrNothingFocused) return false;
  if (mode_ != kNoEdit && record_ >= 0 && field_ >= 0) {
    CancelCellEdit();
    if (inplaceEditor_) grid_->PostSelectAll();
  }
  return true;
}

bool tMdiChildGrid::HasDataChanged() const {
  if (LoadFailed()) return false;
  if (tMdiChild::HasDataChanged()) return true;
  return mode_ != kNoEdit && (recordChanged_ || editedText_ != initialText_);
}

TFieldEdit tMdiChildGrid::GetFieldEdit(int) {
  TFieldEdit edit;
  edit.colour = grid_ ? grid_->Colour() : kWhite;
  return edit;
}

void tMdiChildGrid::ObjDataUndo() {
  tMdiChild::ObjDataUndo();
  CancelCellEdit();
}

bool tMdiChildGrid::ObjDataSave() {
  tMdiChild::ObjDataSave();
  return CommitRecord();
}

}  // namespace zi::desktop
