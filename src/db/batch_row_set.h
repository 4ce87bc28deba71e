#pragma once
// A table's rows read through an SQL text, edited on the client and sent back as one batch, all or
// nothing: the row set of the multi-row writes (a statement's values, a format's lines).

#include <map>
#include <string>
#include <vector>

#include "db/connection.h"

namespace zi::db {

class TBatchRowSet {
 public:
  // The key columns name a row of the table for its updates and deletes.
  TBatchRowSet(TAdoDataBaseCustomizado& db, std::string table, std::vector<std::string> keyColumns);

  // Reads the rows of an SQL text (only integers formatted by the program may be spliced into it);
  // 0 or the connection's code. Edits held before are dropped.
  int Open(const std::string& sql);

  int RowCount() const { return static_cast<int>(rows_.size()); }
  // NULL for a column the text did not read.
  const DbValue& Value(int row, const std::string& column) const;

  // The edits, held until UpdateBatch.
  void SetValue(int row, const std::string& column, DbValue value);
  void Delete(int row);
  void Insert(std::map<std::string, DbValue> values);
  int PendingCount() const;

  // Sends every held edit in one call; raises what the driver raises (EDriverError), so that the
  // caller can tell its kinds apart. The edits are dropped once sent.
  void UpdateBatch();

 private:
  struct Row {
    std::vector<DbValue> values;
    std::map<std::string, DbValue> changed;
    bool deleted = false;
  };
  int ColumnIndex(const std::string& column) const;

  TAdoDataBaseCustomizado& db_;
  std::string table_;
  std::vector<std::string> keyColumns_;
  std::vector<std::string> columns_;
  std::vector<Row> rows_;
  std::vector<std::map<std::string, DbValue>> inserts_;
};

// Whether a database error reports a broken constraint (a key taken, a check or a reference that
// fails): as the driver classified it, or as the embedded server's message says.
bool IsConstraintError(const std::exception& e);

}  // namespace zi::db
