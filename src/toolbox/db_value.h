#pragma once
// Values that travel between the program and the database: parameters, output values and columns.

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace zi {

// A date and time as a count of days since 1899-12-30, the time of day in the fraction; 0 is "none".
struct TDateTime {
  double days = 0;
  friend bool operator==(const TDateTime&, const TDateTime&) = default;
};

// The day 1980-01-01 as a TDateTime, the origin of moments.
inline constexpr double kDay1980 = 29221;
// The day 1920-01-01 as a TDateTime, the origin of day numbers.
inline constexpr double kDay1920 = 7306;

// Bytes that are not text.
struct TBlob {
  std::string bytes;
  friend bool operator==(const TBlob&, const TBlob&) = default;
};

enum class DbType { Null, Integer, Float, Text, Blob, Boolean, DateTime };

const char* DbTypeName(DbType type);

class DbValue {
 public:
  DbValue() = default;
  DbValue(int64_t v) : value_(v) {}
  DbValue(int v) : value_(static_cast<int64_t>(v)) {}
  DbValue(double v) : value_(v) {}
  DbValue(std::string v) : value_(std::move(v)) {}
  DbValue(const char* v) : value_(std::string(v)) {}
  DbValue(TBlob v) : value_(std::move(v)) {}
  DbValue(bool v) : value_(v) {}
  DbValue(TDateTime v) : value_(v) {}

  DbType Type() const { return static_cast<DbType>(value_.index()); }
  bool IsNull() const { return value_.index() == 0; }

  int64_t AsInteger() const { return std::get<int64_t>(value_); }
  double AsFloat() const { return std::get<double>(value_); }
  const std::string& AsText() const { return std::get<std::string>(value_); }
  const TBlob& AsBlob() const { return std::get<TBlob>(value_); }
  bool AsBoolean() const { return std::get<bool>(value_); }
  TDateTime AsDateTime() const { return std::get<TDateTime>(value_); }

  friend bool operator==(const DbValue&, const DbValue&) = default;

 private:
  std::variant<std::monostate, int64_t, double, std::string, TBlob, bool, TDateTime> value_;
};

// One change of a row of a table, the row named by its key columns (the editable grids' batches).
struct RowChange {
  enum class Kind { Insert, Update, Delete };
  Kind kind = Kind::Insert;
  std::map<std::string, DbValue> key;     // Update and Delete
  std::map<std::string, DbValue> values;  // Insert and Update
};

}  // namespace zi
