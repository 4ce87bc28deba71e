#pragma once
// A command over the connection: a stored procedure (its parameters learned from the server) or an
// SQL text, with the result sets of its last call.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/driver.h"
#include "toolbox/dates.h"

namespace zi::db {

class TAdoDataBaseCustomizado;

// A field or parameter that does not exist, or a result set that is not there to read.
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value that cannot be converted to the type asked for.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The numbers match the command types the slow-call log has always shown.
enum class CommandType { Text = 1, StoredProc = 3 };

class TDbCommand {
 public:
  using Param = CallParam;

  // A stored procedure as its driver prepared it, or an SQL text (without a procedure).
  TDbCommand(TAdoDataBaseCustomizado& connection, CommandType type, std::string name,
             std::unique_ptr<PreparedProcedure> procedure);

  CommandType Type() const { return type_; }
  const std::string& Name() const { return name_; }
  TAdoDataBaseCustomizado& Connection() const { return connection_; }
  const std::vector<Param>& Params() const { return params_; }
  // Tells commands apart over their lifetimes: no two commands of a process share a serial.
  uint64_t Serial() const { return serial_; }

  // Input parameters. Values that mean "nothing" (a zero date, NaN, an empty blob) are sent as NULL.
  void SetInteger(const std::string& name, int64_t value);
  void SetText(const std::string& name, const std::string& value);  // trimmed of blanks
  // Untrimmed, for texts whose blanks are data (multi-line texts).
  void SetRawText(const std::string& name, const std::string& value);
  void SetBoolean(const std::string& name, bool value);
  void SetDateTime(const std::string& name, TDateTime value);
  void SetMoment(const std::string& name, TMoment value);
  void SetDayNumber(const std::string& name, TDayNumber value);
  void SetFloat(const std::string& name, double value);
  void SetBlob(const std::string& name, const std::string& bytes);
  void ClearParam(const std::string& name);
  // The position of a parameter in Params() (EDatabaseError for a name the command does not
  // have), and the setters by position, for callers that set many parameters on every call.
  size_t ParamPosition(const std::string& name) const;
  void SetIntegerAt(size_t position, int64_t value);
  void SetTextAt(size_t position, std::string_view value);
  void SetBooleanAt(size_t position, bool value);
  void SetDayNumberAt(size_t position, TDayNumber value);
  void SetFloatAt(size_t position, double value);
  // The positional values of an SQL text's "?" placeholders.
  void SetSqlParams(std::vector<DbValue> values) { sqlParams_ = std::move(values); }
  const std::vector<DbValue>& SqlParams() const { return sqlParams_; }

  // Output parameters (and the return value).
  int ParamAsInteger(const std::string& name) const;
  uint8_t ParamAsByte(const std::string& name) const;
  uint8_t ParamAsBoundedByte(const std::string& name, int upperBound) const;
  std::string ParamAsText(const std::string& name) const;  // trimmed
  bool ParamAsBoolean(const std::string& name) const;
  TDateTime ParamAsDateTime(const std::string& name) const;
  TDayNumber ParamAsDayNumber(const std::string& name) const;
  double ParamAsFloat(const std::string& name) const;
  const DbValue& ParamValue(const std::string& name) const;
  // The procedure's return value, found by its direction (EDatabaseError when it has none).
  const DbValue& ReturnValue() const;

  // The current result set, read by column name or position.
  bool IsOpen() const { return open_; }
  bool Eof() const { return !open_ || row_ >= current_.rows.size(); }
  void Next();
  void First() { row_ = 0; }
  int RecordCount() const { return static_cast<int>(current_.rows.size()); }
  // Moves to the next result set of the call; more tells whether there was one. Returns 0, or
  // 3939 when the result set cannot be read (the connection was lost).
  int NextResultSet(bool& more);
  int FieldCount() const { return static_cast<int>(current_.columns.size()); }
  const std::string& FieldName(int index) const;
  bool HasField(const std::string& name) const;

  int FieldAsInteger(const std::string& name) const;
  std::string FieldAsText(const std::string& name) const;  // trimmed
  std::string FieldAsRawText(const std::string& name) const;
  double FieldAsFloat(const std::string& name) const;
  bool FieldAsBoolean(const std::string& name) const;
  uint8_t FieldAsByte(const std::string& name) const;
  TDateTime FieldAsDateTime(const std::string& name) const;
  const DbValue& Field(const std::string& name) const;
  const DbValue& FieldByIndex(int index) const;

  void Close();

 private:
  friend class TAdoDataBaseCustomizado;

  Param& FindParam(const std::string& name);
  const Param& FindParam(const std::string& name) const;
  void SetParam(const std::string& name, DbValue value);
  // Takes the outputs of a call and positions on its first result set when asked to.
  void Attach(std::unique_ptr<DriverResult> result, bool openResultSet);

  TAdoDataBaseCustomizado& connection_;
  CommandType type_;
  std::string name_;
  uint64_t serial_;
  std::unique_ptr<PreparedProcedure> procedure_;
  std::vector<Param> params_;
  std::vector<DbValue> sqlParams_;
  std::unique_ptr<DriverResult> result_;
  ResultSetData current_;
  size_t row_ = 0;
  bool open_ = false;
};

// Conversions shared by fields and parameters.
int ValueAsInteger(const DbValue& value);
std::string ValueAsText(const DbValue& value);
double ValueAsFloat(const DbValue& value);
bool ValueAsBoolean(const DbValue& value);
TDateTime ValueAsDateTime(const DbValue& value);
// How the slow-call log shows a parameter's value.
std::string ValueForLog(const DbValue& value);

}  // namespace zi::db
