#pragma once
// The statement window (kind 1): every statement of one company for one source and document type,
// one grid column per statement and one row per line of the company's presentation format, with
// four header rows on top. A statement is read when its column is first needed and checked as soon
// as it is read; every accepted entry checks it again. Saving writes the changed statements (header
// and values in one transaction each), sends the deletions and records the resend requests.
//
// Grid coordinates: rows 0..3 are the header rows, row r >= 4 is line r - 3 of the display format;
// column 0 is the label column, column c >= 1 is statement column c - 1. The grid edits in mode 1:
// a record is a column, a field is a row.
//
// Nothing here reads the server from a query: the view asks EnsureLoaded for the columns it is about
// to draw, and a column not loaded draws empty.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/core/mdi_child_grid.h"
#include "statements/check.h"
#include "statements/formats.h"
#include "statements/statement.h"
#include "toolbox/dates.h"

namespace zi::desktop {

inline constexpr int kKindStatements = 1;
inline constexpr int kStmHeaderRows = 4;
inline constexpr int kStmStatusPieces = 20;

// Colours as 0xRRGGBB.
inline constexpr uint32_t kStmBlack = 0x000000;
inline constexpr uint32_t kStmRed = 0xFF0000;
inline constexpr uint32_t kStmBlue = 0x0000FF;
inline constexpr uint32_t kStmGrey = 0x808080;
// The background of the lines that are not typed into (red, green and blue 231).
inline constexpr uint32_t kStmGreyBack = 0xE7E7E7;

// What one grid cell draws.
struct TStmCell {
  enum Align { kLeft, kCentre, kRight };
  std::string text;
  uint32_t colour = kStmBlack;
  uint32_t background = kWhite;
  bool bold = false;
  // The narrow font, shrunk one point at a time (down to 3 points) until the text fits.
  bool narrow = false;
  Align align = kLeft;
  friend bool operator==(const TStmCell&, const TStmCell&) = default;
};

// One piece of the status line: the odd pieces (2nd, 4th, ...) are red.
struct TStmStatusPiece {
  std::string text;
  bool red = false;
  friend bool operator==(const TStmStatusPiece&, const TStmStatusPiece&) = default;
};

// The popup of a data column's header rows.
struct TStmMenuItem {
  enum Action { kUndo, kDelete, kIgnoreErrors, kResend };
  Action action;
  std::string caption;  // "Undo changes", "Delete", "Ignore errors", "Resend"
  bool enabled = true;
};

// What the window shows: the period (0 whole period, 1 last three months), document type, source.
struct TStmViewKey {
  int periodo = kPeriodoFY;
  int tipoDocumento = 0;
  int source = 0;
  friend bool operator==(const TStmViewKey&, const TStmViewKey&) = default;
};

// A button of the view switches, with its caption.
struct TStmButton {
  int value = 0;
  std::string caption;
};

// The key of a new statement, as the header dialog gives it.
struct TStmKey {
  TDayNumber dataref;
  bool consolidado = false;
  friend bool operator==(const TStmKey&, const TStmKey&) = default;
};

// What the header dialog is asked to show.
struct THeaderDialogRequest {
  std::string title;        // bold line on top, hidden when empty
  std::string dateText;     // the edit box's text: a given date, or the default pattern
  bool consolidado = false;  // the preset item ("Yes" when true)
  std::string sourceLine;   // "Source : " + name, empty for source 0 (then hidden)
};

// The header dialog: what the user accepted (already read by ReadHeaderDialog), nothing on Cancel.
using THeaderDialog = std::function<std::optional<TStmKey>(const THeaderDialogRequest&)>;

// The dialog's default text without a given date: the short date pattern with a numeric month and
// a four-digit year ("dd/MM/yyyy" stays, "dd-MMM-yy" becomes "dd-MM-yyyy").
std::string HeaderDialogPattern();
// The dialog's OK: the key when the date reads as a date above 0 and an item is chosen (choice 0
// "No", 1 "Yes"); else the error line "Please fill in all fields correctly".
std::optional<TStmKey> ReadHeaderDialog(const std::string& dateText, int choice, std::string& error);
inline constexpr const char* kHeaderDialogError = "Please fill in all fields correctly";

// What the controller asks of its view beyond the framework's.
class tStatementView {
 public:
  virtual ~tStatementView() = default;
  // The rows, columns or every cell changed (after a load, a switch, a create or a delete).
  virtual void ShowAll() = 0;
  // One column's cells changed (an entry, a popup action).
  virtual void RedrawColumn(int col) = 0;
  // The status line changed.
  virtual void ShowStatus() = 0;
  // Make this cell current and visible (after a load: the last column on row 4; after a create:
  // the new column).
  virtual void SelectCell(int col, int row) = 0;
};

class tBalWin : public tMdiChildGrid {
 public:
  // Reads the settings "DivisorBal", "DecimaisBal", "SourceBal" and "TipoDocumentoBal".
  explicit tBalWin(THeaderDialog headerDialog);
  ~tBalWin() override;
  const char* ClassName() const override { return "TBalWin"; }
  int MdiType() const override { return kKindStatements; }

  void SetStatementView(tStatementView* view) { view_ = view; }
  // The framework's AttachGrid, remembered: reloads restart the grid's editing with nothing pending.
  void AttachGrid(tGridView* grid);

  // --- Queries: no server read. ---
  // False when there is no company (the grid is hidden).
  bool GridVisible() const;
  // 4 + the display format's lines, at least 5.
  int RowCount() const;
  // 1 + the columns, at least 2; with no column the single data column is an empty one.
  int ColCount() const;
  int ColumnCount() const { return static_cast<int>(cols_.size()); }
  // The four header rows of a data column (row 0..3); of column 0 the label column's header.
  TStmCell HeaderText(int col, int row) const;
  // The label column of a line row (row >= 4) or header row; the current row's label is white.
  TStmCell Label(int row) const;
  // A value cell (col >= 1, row >= 4); empty for a column not yet loaded.
  TStmCell Cell(int col, int row) const;
  bool ColumnLoaded(int col) const;
  // The status line of the current cell, at most 20 pieces; empty outside the grid.
  std::vector<TStmStatusPiece> Status() const;
  // The popup's four items for a data column (load it first: EnsureLoaded); empty for column 0.
  std::vector<TStmMenuItem> MenuState(int col) const;

  const TStmViewKey& ViewKey() const { return key_; }
  std::vector<TStmButton> PeriodButtons() const;
  // One button per source the user sees; SourceButtonsVisible says whether to show the group.
  std::vector<TStmButton> SourceButtons() const;
  bool SourceButtonsVisible() const;
  std::vector<TStmButton> DocTypeButtons() const;
  // "Units", "Thousands", "Millions" and the index of the current one.
  static std::vector<std::string> DivisorItems();
  int DivisorIndex() const;
  double Divisor() const { return divisor_; }
  int Decimals() const { return decimais_; }
  int CurrentCol() const { return curCol_; }
  int CurrentRow() const { return curRow_; }
  int FormatId() const { return formatId_; }
  // The format of the window's view could not be read (an unknown document type, a company that
  // cannot be read, a missing format): the window shows no lines.
  bool FormatMissing() const { return formatMissing_; }

  // --- Actions. ---
  // Reads the company, the format and the list of statements for the current view. A list that
  // cannot be read is shown in a box and leaves no column (and no new statement until a reload).
  void Load() { ObjDataLoad(); }
  // Takes the new view when it differs and the window's own ConfirmClose allows; drops every
  // column and pending deletion and loads again. False when refused (nothing changed): the view
  // sets its buttons down from ViewKey() again. Ignored while a switch runs.
  bool SwitchView(const TStmViewKey& key);
  // Loads the columns the view is about to draw. A column that cannot be read is logged and shown
  // in a box once and drawn empty, as are the others asked for after it; its code is returned (0
  // when all loaded).
  int EnsureLoaded(const std::vector<int>& cols);
  // F10: reads and checks every column, up to the first that cannot be read (shown in a box).
  int LoadAll();
  // F10 loads every column, from the grid or its editor.
  bool HandleShortCut(const TKeyMessage& message) override;
  bool TakesKeyInEditor(TKey key) const override;
  // "Create new Financial Statement": the header dialog until a new key or Cancel; the new column
  // becomes current. False on Cancel, without a company, or when the list could not be read.
  bool NewStatement();
  // The popup's actions on a data column.
  void Undo(int col);
  // Asks first; true when the column was removed.
  bool Delete(int col);
  void IgnoreErrors(int col);
  void Resend(int col);
  // 0 "Units", 1 "Thousands", 2 "Millions".
  void SetDivisor(int index);
  // 0..4.
  void SetDecimals(int decimals);
  // The grid's current cell; col or row -1 when the grid loses the focus (the status empties).
  // Moving commits the pending cell (the framework's GoToCell).
  void SetCurrentCell(int col, int row);

  // --- Grid hooks (mode 1: record = column, field = row). ---
  // The column becomes current and is loaded.
  void EnterRecord(int record) override;
  // The cell's text for the editor; read-only for a hidden account, white or grey as drawn.
  TFieldEdit GetFieldEdit(int field) override;
  // The cell entry: the calculator, the reading rules, the ask-once question, the check again.
  // Guarded against re-entry: a box opened from here never commits the cell a second time.
  void StoreFieldText(int field, const std::string& text) override;
  // No record-level check: always true.
  bool LeaveRecord() override { return true; }
  // CommitRecord (the pending cell) and CancelCellEdit (restore it) are the framework's.

  // --- Saving and the framework's questions. ---
  // Commits the pending cell, then deletes, resends and writes each changed column (header and
  // values in one transaction). The first failure's code is shown; the failed columns stay
  // changed. True when everything was written.
  bool ObjDataSave() override;
  bool Save() { return ObjDataSave(); }
  // The pending cell, a column modified or marked for resend, a stored statement pending deletion.
  bool HasDataChanged() const override;
  // A loaded statement whose check failed and whose failure is not accepted.
  bool HasDataError() const override;
  // The window goes: writes the settings and drops the columns.
  void Close();

 protected:
  void ObjDataLoad() override;

 private:
  struct TColuna;

  int LoadColumn(int index);
  bool NeedColumn(int col);
  void DropPendingCell();
  void RestartGridEdit();
  void CheckCopy(TColuna& coluna);
  void CheckInPlace(TColuna& coluna);
  int FindKey(const TStmKey& key, bool insertMode);
  void DropColumns();
  void ReadFormat();
  int ReadView();
  void ReadSettings();
  const TLinhaFmt* LineOfRow(int row) const;
  bool TypedLine(const TLinhaFmt& linha) const;
  std::string ValueText(const TColuna& coluna, const TLinhaFmt& linha) const;
  bool ApplyText(TBalanco& bal, const TLinhaFmt& linha, const std::string& text) const;
  int SaveColumns();
  void StoreEntry(int col, int field, const std::string& typed);

  THeaderDialog headerDialog_;
  tStatementView* view_ = nullptr;
  tGridView* grid_ = nullptr;
  int emp_ = 0;
  TStmViewKey key_;
  int formatId_ = 0;
  std::string formatName_;
  int moeda_ = 0;
  double divisor_ = 1;
  int decimais_ = 0;
  bool formatMissing_ = false;
  TFormatoBal checkFormat_;
  TFormatoBal displayFormat_;
  std::unique_ptr<TChecagemBal> checker_;
  std::vector<std::string> labels_;
  std::vector<std::unique_ptr<TColuna>> cols_;
  std::vector<int> pendingDeletes_;
  int curCol_ = -1;
  int curRow_ = -1;
  bool switching_ = false;
  bool storing_ = false;
  bool loadingView_ = false;
  bool listFailed_ = false;
  bool closed_ = false;
};

// Texts the window shows, by the statement's source, consolidation and date.
std::string ModifyQuestion(const std::string& sourceName, bool consolidado, TDayNumber dataref);
std::string DeleteStatementQuestion(const std::string& sourceName, bool consolidado, TDayNumber dataref);
std::string DuplicateStatementText(const std::string& sourceName, bool consolidado, TDayNumber dataref);

}  // namespace zi::desktop
