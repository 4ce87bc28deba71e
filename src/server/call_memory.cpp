#include "server/call_memory.h"

#include <array>

#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// A data-log insert of many rows goes out in statements of these sizes, the largest first, so that
// a handful of statements serves any number of rows.
constexpr std::array<size_t, 8> kRowsPerInsert = {128, 64, 32, 16, 8, 4, 2, 1};
constexpr size_t kValuesPerRow = 6;

std::string InsertText(size_t rows) {
  std::string sql = "INSERT INTO DataLog (tip, oid, aux, date, usuario, momento) VALUES ";
  for (size_t i = 0; i < rows; ++i) sql += i == 0 ? "(?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?)";
  return sql;
}

const SqlText& InsertOf(size_t sizeIndex) {
  static const std::array<SqlText, kRowsPerInsert.size()> texts{
      SqlText(InsertText(kRowsPerInsert[0])), SqlText(InsertText(kRowsPerInsert[1])),
      SqlText(InsertText(kRowsPerInsert[2])), SqlText(InsertText(kRowsPerInsert[3])),
      SqlText(InsertText(kRowsPerInsert[4])), SqlText(InsertText(kRowsPerInsert[5])),
      SqlText(InsertText(kRowsPerInsert[6])), SqlText(InsertText(kRowsPerInsert[7]))};
  return texts[sizeIndex];
}

}  // namespace

void SeriesIdCache::MakeKey(int64_t bolsa, std::string_view ticker) {
  key_.assign(reinterpret_cast<const char*>(&bolsa), sizeof bolsa);
  // The series table matches tickers with SQLite's NOCASE, which folds ASCII letters only.
  for (const char c : Trim(ticker)) key_.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
}

const SeriesIdCache::Answer* SeriesIdCache::Find(const SqliteDb& db, int64_t bolsa, std::string_view ticker) {
  if (const uint64_t changes = db.WatchedChanges(kTable); changes != changesSeen_) {
    ids_.clear();
    changesSeen_ = changes;
  }
  MakeKey(bolsa, ticker);
  const auto found = ids_.find(key_);
  return found == ids_.end() ? nullptr : &found->second;
}

void SeriesIdCache::Keep(int64_t bolsa, std::string_view ticker, Answer id) {
  MakeKey(bolsa, ticker);
  ids_[key_] = id;
}

void DeferredDataLog::Insert(SqliteDb& db) {
  while (inserted_ < rows_.size()) {
    const size_t left = rows_.size() - inserted_;
    size_t sizeIndex = 0;
    while (kRowsPerInsert[sizeIndex] > left) ++sizeIndex;
    const size_t count = kRowsPerInsert[sizeIndex];
    Statement insert = db.Prepare(InsertOf(sizeIndex));
    std::array<DbValue, kValuesPerRow> values;
    size_t valuesOfRow = SIZE_MAX;
    insert.BindEach(count * kValuesPerRow, [&](size_t i) -> const DbValue& {
      const size_t row = inserted_ + i / kValuesPerRow;
      if (row != valuesOfRow) {
        const Row& r = rows_[row];
        values = {r.tip, r.oid, r.aux, r.date, r.usuario, r.momento};
        valuesOfRow = row;
      }
      return values[i % kValuesPerRow];
    });
    db.Run(std::move(insert));
    inserted_ += count;
  }
}

void DeferredDataLog::UndoTo(const Mark& mark) {
  if (mark.rows < rows_.size()) rows_.resize(mark.rows);
  if (mark.inserted < inserted_) inserted_ = mark.inserted;
}

void DeferredDataLog::Clear() {
  rows_.clear();
  inserted_ = 0;
}

}  // namespace zi::server
