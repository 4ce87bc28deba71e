#pragma once
// The rows of an SQL text as an editable grid: read once, edited on the client (each cell typed as
// its column's kind, rows added and deleted) and sent back to one table as one batch, named by the
// table's key. The grids of the indicator history and of the administrator's table editor.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "toolbox/db_value.h"

namespace zi::desktop {

// How a column's cells are shown and typed: numbers and dates through toolbox/display_formats.h.
enum class TCellKind { Text, Integer, Number, Date, Boolean };

struct TGridColumn {
  std::string name;
  TCellKind kind = TCellKind::Text;
  bool hidden = false;
};

class tGridRows {
 public:
  // An empty table (or a key that the text does not read) makes the rows read-only.
  tGridRows(std::string table, std::vector<std::string> keyColumns);

  // Reads the rows of an SQL text (only integers formatted by the program may be spliced into it):
  // 0 or the connection's code. Edits held before are dropped. The columns take the kind of their
  // values (text when every value is NULL) unless SetKind says otherwise.
  int Open(const std::string& sql);
  // The rows may be sent back: a table, and every key column among the columns read.
  bool Editable() const;
  // The rows are not sent back (read by a text that is not a plain read of the table's columns).
  void MakeReadOnly() { table_.clear(); }

  const std::vector<TGridColumn>& Columns() const { return columns_; }
  int ColumnIndex(std::string_view name) const;
  void SetKind(int col, TCellKind kind) { columns_.at(static_cast<size_t>(col)).kind = kind; }
  void SetHidden(int col, bool hidden) { columns_.at(static_cast<size_t>(col)).hidden = hidden; }

  // The rows shown: those read and those added, without the deleted ones.
  int RowCount() const;
  const DbValue& Value(int row, int col) const;
  // What a cell shows: empty for NULL.
  std::string Text(int row, int col) const;
  // Takes a typed text by the column's kind; an empty text is NULL. False, with nothing changed,
  // when the text does not read as the kind or the rows are not editable. A text that shows the
  // cell's value as it is changes nothing, so that a time of day the grid does not show stays.
  bool SetText(int row, int col, std::string_view text);
  // A new row at the end holding these values (by column name); its index, or -1 when the rows are
  // not editable.
  int AddRow(const std::map<std::string, DbValue>& values);
  // False when the rows are not editable.
  bool DeleteRow(int row);
  bool Modified() const;

  // Sends every edit in one batch, then reads the rows again: 0, or the code of the failure (logged
  // under `where`) with every edit kept. Nothing to send is 0 without a call.
  int Save(const std::string& where);

 private:
  struct Row {
    std::vector<DbValue> read;  // as read; empty for an added row
    std::vector<DbValue> now;
    bool deleted = false;
  };
  Row& Shown(int row);
  const Row& Shown(int row) const;

  std::string table_;
  std::vector<std::string> keyColumns_;
  std::string sql_;
  std::vector<TGridColumn> columns_;
  std::vector<Row> rows_;
};

}  // namespace zi::desktop
