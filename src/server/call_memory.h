#pragma once
// What the calls of one connection keep between them so that a file of a million price lines does
// not pay for the same lookup and the same small insert a million times over.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "toolbox/dates.h"

namespace zi::server {

class SqliteDb;

// The series of a ticker on an exchange as the quote calls find it (the ticker trimmed and matched
// whatever its case), or that there is none. An answer holds while it cannot have changed: within one
// transaction (another process cannot write meanwhile), until this connection changes the series
// table, and until work of this connection that changed it is undone.
class SeriesIdCache {
 public:
  // The table whose changes make every answer stale.
  static constexpr const char* kTable = "anbima";

  using Answer = std::optional<int64_t>;  // nullopt: no series has the ticker
  // The answer kept for the ticker; nullptr when there is none to trust.
  const Answer* Find(const SqliteDb& db, int64_t bolsa, std::string_view ticker);
  void Keep(int64_t bolsa, std::string_view ticker, Answer id);
  void Forget() { ids_.clear(); }

 private:
  // Builds the key of a ticker in key_.
  void MakeKey(int64_t bolsa, std::string_view ticker);

  std::unordered_map<std::string, Answer> ids_;
  std::string key_;
  uint64_t changesSeen_ = 0;
};

// Rows of the data log that the quote calls add, held back and inserted a few hundred at a time:
// before the transaction commits, and before anything else runs that might read or write the log
// (any other call or SQL text), so the log reads as if each row had gone in with its call. The
// connection tells it where levels (savepoints) begin and which of them are undone, so that an
// undone line takes its rows with it and rows already inserted come back when a level that held
// their insert is undone.
class DeferredDataLog {
 public:
  struct Row {
    int64_t tip = 0;
    int64_t oid = 0;
    int64_t aux = 0;
    TDateTime date;
    int64_t usuario = 0;
    TDateTime momento;
  };
  // Where a level began, to undo it.
  struct Mark {
    size_t rows = 0;
    size_t inserted = 0;
  };

  void Add(const Row& row) { rows_.push_back(row); }
  bool Pending() const { return inserted_ < rows_.size(); }
  // Inserts the rows not yet inserted, in the order they came.
  void Insert(SqliteDb& db);
  Mark Here() const { return {rows_.size(), inserted_}; }
  // The database went back to the mark: rows added since are gone, rows inserted since are due again.
  void UndoTo(const Mark& mark);
  // The transaction ended (committed after Insert, or rolled back): nothing is held any more.
  void Clear();

 private:
  std::vector<Row> rows_;
  size_t inserted_ = 0;
};

}  // namespace zi::server
