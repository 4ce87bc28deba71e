#include "db/drivers/odbc_driver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "toolbox/codec.h"
#include "toolbox/dates.h"
#include "toolbox/text.h"

namespace zi::db {

namespace {

constexpr SQLLEN kChunkBytes = 4096;
constexpr int kLoginRefused = 18456;
// What an output text or binary parameter may bring back when the server gives no size.
constexpr SQLLEN kOutputBytes = 8000;

std::string ConnectionValue(std::string_view value) {
  const bool plain = value.find_first_of(";{}=") == std::string_view::npos && value == Trim(value);
  if (plain) return std::string(value);
  std::string braced = "{";
  for (const char c : value) braced += c == '}' ? std::string("}}") : std::string(1, c);
  return braced + "}";
}

std::string SqlTypeText(SQLSMALLINT type) { return "SQL type " + std::to_string(type); }

std::optional<DbType> DbTypeOfSql(SQLSMALLINT type) {
  switch (type) {
    case SQL_BIT: return DbType::Boolean;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: return DbType::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC: return DbType::Float;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return DbType::Text;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return DbType::Blob;
    case SQL_DATETIME:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP: return DbType::DateTime;
    default: return std::nullopt;
  }
}

bool IsWideText(SQLSMALLINT type) { return type == SQL_WCHAR || type == SQL_WVARCHAR || type == SQL_WLONGVARCHAR; }

SQLSMALLINT CTypeOf(DbType type) {
  switch (type) {
    case DbType::Integer: return SQL_C_SBIGINT;
    case DbType::Float: return SQL_C_DOUBLE;
    case DbType::Boolean: return SQL_C_BIT;
    case DbType::DateTime: return SQL_C_TYPE_TIMESTAMP;
    case DbType::Blob: return SQL_C_BINARY;
    default: return SQL_C_CHAR;
  }
}

// The SQL type a value of an SQL text's "?" is sent as.
SQLSMALLINT SqlTypeOf(DbType type) {
  switch (type) {
    case DbType::Integer: return SQL_BIGINT;
    case DbType::Float: return SQL_DOUBLE;
    case DbType::Boolean: return SQL_BIT;
    case DbType::DateTime: return SQL_TYPE_TIMESTAMP;
    case DbType::Blob: return SQL_VARBINARY;
    default: return SQL_VARCHAR;
  }
}

SQL_TIMESTAMP_STRUCT TimestampOf(TDateTime value) {
  const TCalendarDateTime c = CalendarFromDateTime(value);
  SQL_TIMESTAMP_STRUCT t{};
  t.year = static_cast<SQLSMALLINT>(c.year);
  t.month = static_cast<SQLUSMALLINT>(c.month);
  t.day = static_cast<SQLUSMALLINT>(c.day);
  t.hour = static_cast<SQLUSMALLINT>(c.hour);
  t.minute = static_cast<SQLUSMALLINT>(c.minute);
  t.second = static_cast<SQLUSMALLINT>(c.second);
  return t;
}

TDateTime DateTimeOf(const SQL_TIMESTAMP_STRUCT& t) {
  TDateTime value = DateTimeFromCalendar({t.year, t.month, t.day, t.hour, t.minute, t.second});
  value.days += static_cast<double>(t.fraction) / 1e9 / 86400.0;
  return value;
}

// UTF-16 from a wide column, as program text; nullopt for a character Windows-1252 cannot hold.
std::optional<std::string> Cp1252OfUtf16(const std::u16string& text) {
  std::string utf8;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      return std::nullopt;
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (c >> 18));
      utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return Utf8ToCp1252(utf8);
}

// A bound parameter's memory: the value sent, or room for what comes back.
struct Bound {
  SQLSMALLINT cType = SQL_C_CHAR;
  std::vector<char> bytes;
  SQLLEN indicator = SQL_NULL_DATA;
};

template <typename T>
void Store(Bound& bound, const T& value) {
  bound.bytes.resize(sizeof(T));
  std::memcpy(bound.bytes.data(), &value, sizeof(T));
  bound.indicator = sizeof(T);
}

template <typename T>
T Load(const Bound& bound) {
  T value{};
  std::memcpy(&value, bound.bytes.data(), std::min(sizeof(T), bound.bytes.size()));
  return value;
}

// A value as bound memory. A number without value (NaN) goes as NULL. Outputs get room for what
// their declared type may bring back.
Bound BoundOf(const DbValue& value, DbType declared, bool output, int64_t size) {
  const bool isNull = value.IsNull() || (value.Type() == DbType::Float && std::isnan(value.AsFloat()));
  Bound bound;
  bound.cType = CTypeOf(isNull ? declared : value.Type());
  if (!isNull) {
    switch (value.Type()) {
      case DbType::Integer: Store(bound, static_cast<SQLBIGINT>(value.AsInteger())); break;
      case DbType::Float: Store(bound, value.AsFloat()); break;
      case DbType::Boolean: Store(bound, static_cast<unsigned char>(value.AsBoolean() ? 1 : 0)); break;
      case DbType::DateTime: Store(bound, TimestampOf(value.AsDateTime())); break;
      case DbType::Blob:
        bound.bytes.assign(value.AsBlob().bytes.begin(), value.AsBlob().bytes.end());
        bound.indicator = static_cast<SQLLEN>(bound.bytes.size());
        break;
      default:
        bound.bytes.assign(value.AsText().begin(), value.AsText().end());
        bound.indicator = static_cast<SQLLEN>(bound.bytes.size());
    }
  }
  if (output) {
    const SQLLEN room = size > 0 ? static_cast<SQLLEN>(std::min<int64_t>(size, kOutputBytes)) : kOutputBytes;
    const size_t wanted = bound.cType == SQL_C_CHAR ? static_cast<size_t>(room) + 1
                          : bound.cType == SQL_C_BINARY ? static_cast<size_t>(room)
                                                        : sizeof(SQL_TIMESTAMP_STRUCT);
    if (bound.bytes.size() < wanted) bound.bytes.resize(wanted);
  }
  if (bound.bytes.empty()) bound.bytes.resize(1);
  return bound;
}

DbValue ValueOf(const Bound& bound) {
  if (bound.indicator == SQL_NULL_DATA) return {};
  const size_t length = std::min(static_cast<size_t>(std::max<SQLLEN>(bound.indicator, 0)), bound.bytes.size());
  switch (bound.cType) {
    case SQL_C_SBIGINT: return static_cast<int64_t>(Load<SQLBIGINT>(bound));
    case SQL_C_DOUBLE: return Load<double>(bound);
    case SQL_C_BIT: return Load<unsigned char>(bound) != 0;
    case SQL_C_TYPE_TIMESTAMP: return DateTimeOf(Load<SQL_TIMESTAMP_STRUCT>(bound));
    case SQL_C_BINARY: return TBlob{std::string(bound.bytes.data(), length)};
    default: return std::string(bound.bytes.data(), std::min(length, bound.bytes.size() - 1));
  }
}

class OdbcResult final : public DriverResult {
 public:
  OdbcResult(std::map<std::string, DbValue> outputs, std::vector<ResultSetData> sets)
      : outputs_(std::move(outputs)), sets_(std::move(sets)) {}
  const std::map<std::string, DbValue>& Outputs() const override { return outputs_; }
  bool NextResultSet(ResultSetData& into) override {
    if (next_ >= sets_.size()) return false;
    into = std::move(sets_[next_++]);
    return true;
  }

 private:
  std::map<std::string, DbValue> outputs_;
  std::vector<ResultSetData> sets_;
  size_t next_ = 0;
};

// Reads and drains every result set of an executed statement.
class ResultReader {
 public:
  ResultReader(OdbcApi& api, SQLHSTMT stmt) : api_(api), stmt_(stmt) {}

  std::vector<ResultSetData> ReadAll() {
    std::vector<ResultSetData> sets;
    for (;;) {
      SQLSMALLINT columns = 0;
      Check(api_.NumResultCols(stmt_, &columns), "ODBC could not count the columns of a result");
      if (columns > 0) sets.push_back(ReadSet(columns));
      const SQLRETURN rc = api_.MoreResults(stmt_);
      if (rc == SQL_NO_DATA) break;
      Check(rc, "ODBC could not move to the next result");
    }
    return sets;
  }

  template <typename T>
  std::optional<T> Fixed(SQLUSMALLINT number, SQLSMALLINT cType) {
    T value{};
    SQLLEN indicator = 0;
    Check(api_.GetData(stmt_, number, cType, &value, sizeof value, &indicator), "ODBC could not read a column");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return value;
  }

  // A column of any length, read in chunks; nullopt for NULL. `terminator` is the size of the
  // terminating character the driver writes after each chunk (none for binary data).
  std::optional<std::string> Long(SQLUSMALLINT number, SQLSMALLINT cType, size_t terminator) {
    std::string bytes;
    char chunk[kChunkBytes];
    for (;;) {
      SQLLEN indicator = 0;
      const SQLRETURN rc = api_.GetData(stmt_, number, cType, chunk, kChunkBytes, &indicator);
      if (rc == SQL_NO_DATA) break;
      Check(rc, "ODBC could not read a column");
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      const size_t room = kChunkBytes - terminator;
      const size_t got = indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(room)
                             ? room
                             : static_cast<size_t>(std::max<SQLLEN>(indicator, 0));
      bytes.append(chunk, got);
      if (rc == SQL_SUCCESS) break;
    }
    return bytes;
  }

  // The next row of the current result; false after the last.
  bool Fetch() {
    const SQLRETURN rc = api_.Fetch(stmt_);
    if (rc == SQL_NO_DATA) return false;
    Check(rc, "ODBC could not fetch a row");
    return true;
  }

 private:
  struct Column {
    std::string name;
    SQLSMALLINT sqlType = 0;
    DbType type = DbType::Null;
  };

  void Check(SQLRETURN rc, std::string_view what, SQLRETURN accepted = SQL_SUCCESS) {
    OdbcCheck(api_, rc, SQL_HANDLE_STMT, stmt_, what, accepted);
  }

  ResultSetData ReadSet(SQLSMALLINT count) {
    std::vector<Column> columns;
    ResultSetData set;
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
      SQLCHAR name[256] = {};
      SQLSMALLINT length = 0;
      Column column;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = 0;
      Check(api_.DescribeCol(stmt_, i, name, sizeof name, &length, &column.sqlType, &size, &digits, &nullable),
            "ODBC could not describe a column");
      column.name.assign(reinterpret_cast<const char*>(name), std::clamp<size_t>(length, 0, sizeof name - 1));
      const std::optional<DbType> type = DbTypeOfSql(column.sqlType);
      if (!type) {
        throw EDriverError("A result column \"" + column.name + "\" is of " + SqlTypeText(column.sqlType) +
                           ", which this program does not read");
      }
      column.type = *type;
      set.columns.push_back(column.name);
      columns.push_back(std::move(column));
    }
    while (Fetch()) {
      std::vector<DbValue>& row = set.rows.emplace_back();
      for (size_t i = 0; i < columns.size(); ++i) row.push_back(Read(static_cast<SQLUSMALLINT>(i + 1), columns[i]));
    }
    return set;
  }

  DbValue Read(SQLUSMALLINT number, const Column& column) {
    switch (column.type) {
      case DbType::Integer: {
        const auto v = Fixed<SQLBIGINT>(number, SQL_C_SBIGINT);
        return v ? DbValue(static_cast<int64_t>(*v)) : DbValue();
      }
      case DbType::Float: {
        const auto v = Fixed<double>(number, SQL_C_DOUBLE);
        return v ? DbValue(*v) : DbValue();
      }
      case DbType::Boolean: {
        const auto v = Fixed<unsigned char>(number, SQL_C_BIT);
        return v ? DbValue(*v != 0) : DbValue();
      }
      case DbType::DateTime: {
        const auto v = Fixed<SQL_TIMESTAMP_STRUCT>(number, SQL_C_TYPE_TIMESTAMP);
        return v ? DbValue(DateTimeOf(*v)) : DbValue();
      }
      case DbType::Blob: {
        auto v = Long(number, SQL_C_BINARY, 0);
        return v ? DbValue(TBlob{std::move(*v)}) : DbValue();
      }
      default: break;
    }
    if (!IsWideText(column.sqlType)) {
      auto v = Long(number, SQL_C_CHAR, 1);
      return v ? DbValue(std::move(*v)) : DbValue();
    }
    const std::optional<std::string> wide = Long(number, SQL_C_WCHAR, sizeof(SQLWCHAR));
    if (!wide) return {};
    std::u16string utf16(wide->size() / 2, u'\0');
    std::memcpy(utf16.data(), wide->data(), utf16.size() * 2);
    std::optional<std::string> text = Cp1252OfUtf16(utf16);
    if (!text) {
      throw EDriverError("The result column \"" + column.name + "\" holds text that Windows-1252 cannot hold");
    }
    return std::move(*text);
  }

  OdbcApi& api_;
  SQLHSTMT stmt_;
};

// A procedure's name goes into the call's text: only the characters of a (qualified) name.
bool IsProcedureName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '#' || c == '$' || c == '@';
  });
}

// Identifiers of a row change's table and columns, bracket-quoted.
std::string QuotedIdentifier(const std::string& name) {
  const bool safe = !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return c == ']' || c == '[' || static_cast<unsigned char>(c) < 0x20;
  });
  if (!safe) throw EDriverError("\"" + name + "\" is not a name of a table or column");
  return "[" + name + "]";
}

ParamDirection DirectionOfColumnType(SQLSMALLINT type) {
  switch (type) {
    case SQL_PARAM_INPUT_OUTPUT: return ParamDirection::InputOutput;
    case SQL_PARAM_OUTPUT: return ParamDirection::Output;
    case SQL_RETURN_VALUE: return ParamDirection::ReturnValue;
    default: return ParamDirection::Input;
  }
}

SQLSMALLINT IoTypeOf(ParamDirection direction) {
  switch (direction) {
    case ParamDirection::InputOutput: return SQL_PARAM_INPUT_OUTPUT;
    case ParamDirection::Output:
    case ParamDirection::ReturnValue: return SQL_PARAM_OUTPUT;
    default: return SQL_PARAM_INPUT;
  }
}

bool IsSent(ParamDirection direction) {
  return direction == ParamDirection::Input || direction == ParamDirection::InputOutput;
}

}  // namespace

// A procedure as the server described it: the parameters (the return value first, when it has
// one), their SQL types, and the call's text.
class OdbcProcedure : public PreparedProcedure {
 public:
  OdbcProcedure(std::string name, std::vector<ParamDesc> params, std::vector<SQLSMALLINT> sqlTypes)
      : PreparedProcedure(name, std::move(params)), sqlTypes_(std::move(sqlTypes)) {
    const bool returns = !Params().empty() && Params().front().direction == ParamDirection::ReturnValue;
    std::string markers;
    for (size_t i = returns ? 1 : 0; i < Params().size(); ++i) markers += markers.empty() ? "?" : ", ?";
    callText_ = std::string("{") + (returns ? "? = " : "") + "call " + name +
                (markers.empty() ? "" : "(" + markers + ")") + "}";
  }
  SQLSMALLINT SqlType(size_t i) const { return sqlTypes_.at(i); }
  const std::string& CallText() const { return callText_; }

 private:
  std::vector<SQLSMALLINT> sqlTypes_;
  std::string callText_;
};

std::string OdbcConnectionString(const ConnectionSettings& settings) {
  std::string driver(settings.odbcDriver.empty() ? kDefaultOdbcDriver : settings.odbcDriver);
  if (driver.size() >= 2 && driver.front() == '{' && driver.back() == '}') driver = driver.substr(1, driver.size() - 2);
  std::string braced;
  for (const char c : driver) braced += c == '}' ? std::string("}}") : std::string(1, c);
  std::string text = "Driver={" + braced + "};Server=" +
                     ConnectionValue(settings.host) + ";Database=" + ConnectionValue(settings.database) +
                     ";APP=" + kApplicationName + ";";
  if (settings.user.empty()) {
    text += "Trusted_Connection=Yes;";
  } else {
    text += "UID=" + ConnectionValue(settings.user) + ";PWD=" + ConnectionValue(settings.password) + ";";
  }
  // Program text is Windows-1252: FreeTDS is told so unless the site's options say otherwise.
  if (UpperAscii(settings.odbcOptions).find("CLIENTCHARSET") == std::string::npos) text += "ClientCharset=CP1252;";
  if (!settings.odbcOptions.empty()) text += settings.odbcOptions;
  return text;
}

OdbcDriver::OdbcDriver(ConnectionSettings settings, OdbcApi& api) : settings_(std::move(settings)), api_(api) {}

OdbcDriver::~OdbcDriver() { Close(); }

void OdbcDriver::Open() {
  Close();
  env_ = OdbcHandle(api_, SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  OdbcCheck(api_, api_.SetEnvAttr(env_.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
            SQL_HANDLE_ENV, env_.Get(), "ODBC refused version 3");
  dbc_ = OdbcHandle(api_, SQL_HANDLE_DBC, env_.Get());
  OdbcCheck(api_,
            api_.SetConnectAttr(dbc_.Get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0),
            SQL_HANDLE_DBC, dbc_.Get(), "ODBC refused the login time-out");
  std::string text = OdbcConnectionString(settings_);
  const SQLRETURN rc = api_.DriverConnect(dbc_.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                          static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr);
  std::fill(text.begin(), text.end(), '\0');
  if (!OdbcSucceeded(rc)) {
    const std::vector<OdbcDiagnostic> diagnostics = OdbcDiagnostics(api_, SQL_HANDLE_DBC, dbc_.Get());
    const EDriverError error =
        OdbcError("ODBC could not connect to " + settings_.host + " database " + settings_.database + " with driver " +
                      (settings_.odbcDriver.empty() ? kDefaultOdbcDriver : settings_.odbcDriver),
                  diagnostics);
    // A refused login answers as the embedded database's does.
    const bool refused = std::any_of(diagnostics.begin(), diagnostics.end(),
                                     [](const OdbcDiagnostic& d) { return d.state == "28000"; });
    if (refused) throw EDriverError(error.what(), DriverFailure::Other, kLoginRefused);
    throw error;
  }
  connected_ = true;
  OdbcCheck(api_,
            api_.SetConnectAttr(dbc_.Get(), SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(SQL_TXN_READ_COMMITTED), 0),
            SQL_HANDLE_DBC, dbc_.Get(), "ODBC refused read-committed isolation");
}

void OdbcDriver::Close() {
  if (connected_) api_.Disconnect(dbc_.Get());
  connected_ = false;
  inTransaction_ = false;
  dbc_.Reset();
  env_.Reset();
}

OdbcHandle OdbcDriver::NewStatement() {
  if (!connected_) throw EDriverError("ODBC: not connected", DriverFailure::ConnectionLost);
  OdbcHandle stmt(api_, SQL_HANDLE_STMT, dbc_.Get());
  OdbcCheck(api_,
            api_.SetStmtAttr(stmt.Get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(kCommandTimeoutSeconds), 0),
            SQL_HANDLE_STMT, stmt.Get(), "ODBC refused the command time-out");
  return stmt;
}

const OdbcProcedure& OdbcDriver::Learn(const std::string& name) {
  if (const auto found = procedures_.find(name); found != procedures_.end()) return *found->second;
  if (!IsProcedureName(name)) throw EDriverError("\"" + name + "\" is not a procedure name");
  OdbcHandle stmt = NewStatement();
  // The name is an identifier, not a search pattern in which "_" would match any character.
  OdbcCheck(api_, api_.SetStmtAttr(stmt.Get(), SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(SQL_TRUE), 0),
            SQL_HANDLE_STMT, stmt.Get(), "ODBC refused identifier arguments");
  std::string text = name;
  OdbcCheck(api_,
            api_.ProcedureColumns(stmt.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                  static_cast<SQLSMALLINT>(text.size())),
            SQL_HANDLE_STMT, stmt.Get(), "ODBC could not describe procedure " + name);
  // Of the catalogue's columns, COLUMN_NAME (4), COLUMN_TYPE (5), DATA_TYPE (6), COLUMN_SIZE (8)
  // and DECIMAL_DIGITS (10).
  ResultReader reader(api_, stmt.Get());
  std::vector<std::pair<ParamDesc, SQLSMALLINT>> described;
  while (reader.Fetch()) {
    ParamDesc param;
    param.name = reader.Long(4, SQL_C_CHAR, 1).value_or("");
    const SQLSMALLINT columnType = reader.Fixed<SQLSMALLINT>(5, SQL_C_SSHORT).value_or(SQL_PARAM_TYPE_UNKNOWN);
    const SQLSMALLINT sqlType = reader.Fixed<SQLSMALLINT>(6, SQL_C_SSHORT).value_or(0);
    param.size = reader.Fixed<SQLINTEGER>(8, SQL_C_SLONG).value_or(0);
    param.digits = reader.Fixed<SQLSMALLINT>(10, SQL_C_SSHORT).value_or(0);
    if (columnType == SQL_RESULT_COL || columnType == SQL_PARAM_TYPE_UNKNOWN) continue;
    const std::optional<DbType> type = DbTypeOfSql(sqlType);
    if (!type) {
      throw EDriverError("Procedure " + name + ": parameter " + param.name + " is of " + SqlTypeText(sqlType) +
                         ", which this program does not bind");
    }
    param.type = *type;
    param.direction = DirectionOfColumnType(columnType);
    described.emplace_back(std::move(param), sqlType);
  }
  if (described.empty()) throw EDriverError("Procedure " + name + " was not found on the server");
  std::stable_partition(described.begin(), described.end(),
                        [](const auto& p) { return p.first.direction == ParamDirection::ReturnValue; });
  std::vector<ParamDesc> params;
  std::vector<SQLSMALLINT> types;
  for (auto& [param, sqlType] : described) {
    params.push_back(std::move(param));
    types.push_back(sqlType);
  }
  auto procedure = std::make_shared<const OdbcProcedure>(name, std::move(params), std::move(types));
  return *procedures_.emplace(name, std::move(procedure)).first->second;
}

std::vector<ParamDesc> OdbcDriver::DescribeProcedure(const std::string& name) { return Learn(name).Params(); }

std::unique_ptr<PreparedProcedure> OdbcDriver::PrepareProcedure(const std::string& name) {
  const OdbcProcedure& learned = Learn(name);
  return std::make_unique<OdbcProcedure>(learned);
}

std::unique_ptr<DriverResult> OdbcDriver::ExecuteProcedure(const std::string& name,
                                                           const std::map<std::string, DbValue>& inputs) {
  const OdbcProcedure& procedure = Learn(name);
  std::vector<CallParam> params;
  for (const ParamDesc& desc : procedure.Params()) {
    const auto given = inputs.find(desc.name);
    params.push_back({desc, given != inputs.end() && IsSent(desc.direction) ? given->second : DbValue()});
  }
  return Call(procedure, params);
}

std::unique_ptr<DriverResult> OdbcDriver::ExecutePrepared(const PreparedProcedure& procedure,
                                                          std::span<const CallParam> params) {
  const auto* ours = dynamic_cast<const OdbcProcedure*>(&procedure);
  if (!ours) return Driver::ExecutePrepared(procedure, params);
  return Call(*ours, params);
}

std::unique_ptr<DriverResult> OdbcDriver::Call(const OdbcProcedure& procedure, std::span<const CallParam> params) {
  if (params.size() != procedure.Params().size()) {
    throw EDriverError("Procedure " + procedure.Name() + " called with " + std::to_string(params.size()) +
                       " parameters, described with " + std::to_string(procedure.Params().size()));
  }
  OdbcHandle stmt = NewStatement();
  std::vector<Bound> bound;
  bound.reserve(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const ParamDesc& desc = procedure.Params()[i];
    const bool output = !IsSent(desc.direction) || desc.direction == ParamDirection::InputOutput;
    Bound& b = bound.emplace_back(BoundOf(IsSent(desc.direction) ? params[i].value : DbValue(), desc.type, output,
                                          desc.size));
    const SQLULEN size = desc.size > 0 ? static_cast<SQLULEN>(desc.size) : std::max<SQLULEN>(b.bytes.size(), 1);
    OdbcCheck(api_,
              api_.BindParameter(stmt.Get(), static_cast<SQLUSMALLINT>(i + 1), IoTypeOf(desc.direction), b.cType,
                                 procedure.SqlType(i), size, desc.digits, b.bytes.data(),
                                 static_cast<SQLLEN>(b.bytes.size()), &b.indicator),
              SQL_HANDLE_STMT, stmt.Get(), "ODBC could not bind " + desc.name + " of " + procedure.Name());
  }
  // Parameters go by name: the server matches them to the procedure's, whatever their order.
  SQLHDESC ipd = SQL_NULL_HANDLE;
  OdbcCheck(api_, api_.GetStmtAttr(stmt.Get(), SQL_ATTR_IMP_PARAM_DESC, &ipd, 0, nullptr), SQL_HANDLE_STMT,
            stmt.Get(), "ODBC gave no parameter descriptor");
  for (size_t i = 0; i < params.size(); ++i) {
    const ParamDesc& desc = procedure.Params()[i];
    if (desc.direction == ParamDirection::ReturnValue) continue;
    std::string name = desc.name;
    OdbcCheck(api_,
              api_.SetDescField(ipd, static_cast<SQLSMALLINT>(i + 1), SQL_DESC_NAME, name.data(),
                                static_cast<SQLINTEGER>(name.size())),
              SQL_HANDLE_DESC, ipd, "ODBC could not name " + desc.name + " of " + procedure.Name());
  }
  std::string text = procedure.CallText();
  OdbcCheck(api_,
            api_.ExecDirect(stmt.Get(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size())),
            SQL_HANDLE_STMT, stmt.Get(), "Procedure " + procedure.Name(), SQL_NO_DATA);
  // The server sends the return value and the outputs after the last result set.
  std::vector<ResultSetData> sets = ResultReader(api_, stmt.Get()).ReadAll();
  std::map<std::string, DbValue> outputs;
  for (size_t i = 0; i < params.size(); ++i) {
    const ParamDesc& desc = procedure.Params()[i];
    if (desc.direction != ParamDirection::Input) outputs[desc.name] = ValueOf(bound[i]);
  }
  return std::make_unique<OdbcResult>(std::move(outputs), std::move(sets));
}

namespace {

// Runs an SQL text with its "?" values bound in order; the statement is left for its results.
void RunText(OdbcApi& api, SQLHSTMT stmt, const std::string& sql, const std::vector<DbValue>& params,
             std::vector<Bound>& bound) {
  bound.reserve(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const DbValue& value = params[i];
    const DbType type = value.IsNull() ? DbType::Text : value.Type();
    Bound& b = bound.emplace_back(BoundOf(value, type, false, 0));
    const SQLULEN size = type == DbType::DateTime ? 23 : std::max<SQLULEN>(b.bytes.size(), 1);
    OdbcCheck(api,
              api.BindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, b.cType, SqlTypeOf(type), size,
                                type == DbType::DateTime ? 3 : 0, b.bytes.data(), static_cast<SQLLEN>(b.bytes.size()),
                                &b.indicator),
              SQL_HANDLE_STMT, stmt, "ODBC could not bind value " + std::to_string(i + 1));
  }
  std::string text = sql;
  OdbcCheck(api, api.ExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size())),
            SQL_HANDLE_STMT, stmt, "SQL", SQL_NO_DATA);
}

}  // namespace

std::unique_ptr<DriverResult> OdbcDriver::ExecuteSql(const std::string& sql, const std::vector<DbValue>& params) {
  OdbcHandle stmt = NewStatement();
  std::vector<Bound> bound;
  RunText(api_, stmt.Get(), sql, params, bound);
  return std::make_unique<OdbcResult>(std::map<std::string, DbValue>{}, ResultReader(api_, stmt.Get()).ReadAll());
}

int64_t OdbcDriver::RunChange(const std::string& sql, const std::vector<DbValue>& params) {
  OdbcHandle stmt = NewStatement();
  std::vector<Bound> bound;
  RunText(api_, stmt.Get(), sql, params, bound);
  SQLLEN count = 0;
  OdbcCheck(api_, api_.RowCount(stmt.Get(), &count), SQL_HANDLE_STMT, stmt.Get(), "ODBC could not count rows");
  return count;
}

void OdbcDriver::SetAutoCommit(bool on) {
  const auto value = reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF));
  OdbcCheck(api_, api_.SetConnectAttr(dbc_.Get(), SQL_ATTR_AUTOCOMMIT, value, 0), SQL_HANDLE_DBC, dbc_.Get(),
            on ? "ODBC could not end a transaction" : "ODBC could not begin a transaction");
}

void OdbcDriver::Begin() {
  if (!connected_) throw EDriverError("ODBC: not connected", DriverFailure::ConnectionLost);
  SetAutoCommit(false);
  inTransaction_ = true;
}

void OdbcDriver::EndTransaction(SQLSMALLINT completion, const char* what) {
  if (!connected_) throw EDriverError("ODBC: not connected", DriverFailure::ConnectionLost);
  // Whatever the outcome, the transaction is over: the server rolls back what it did not commit.
  inTransaction_ = false;
  levels_ = 0;
  const SQLRETURN rc = api_.EndTran(dbc_.Get(), completion);
  if (!OdbcSucceeded(rc)) {
    EDriverError error = OdbcError(what, OdbcDiagnostics(api_, SQL_HANDLE_DBC, dbc_.Get()));
    api_.SetConnectAttr(dbc_.Get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    throw error;
  }
  SetAutoCommit(true);
}

void OdbcDriver::Commit() { EndTransaction(SQL_COMMIT, "ODBC could not commit"); }

void OdbcDriver::BeginLevel() {
  if (!inTransaction_) throw EDriverError("ODBC: a level needs an open transaction");
  RunChange("SAVE TRANSACTION zi_level_" + std::to_string(levels_ + 1), {});
  ++levels_;
}

void OdbcDriver::CommitLevel() {
  if (levels_ > 0) --levels_;
}

void OdbcDriver::RollbackLevel() {
  if (levels_ == 0) throw EDriverError("ODBC: no level to roll back");
  RunChange("ROLLBACK TRANSACTION zi_level_" + std::to_string(levels_), {});
  --levels_;
}

void OdbcDriver::Rollback() { EndTransaction(SQL_ROLLBACK, "ODBC could not roll back"); }

void OdbcDriver::ApplyRowChanges(const std::string& table, const std::vector<RowChange>& changes) {
  const bool own = !inTransaction_;
  if (own) Begin();
  try {
    const std::string quotedTable = QuotedIdentifier(table);
    for (const RowChange& change : changes) {
      std::vector<DbValue> params;
      std::string sql;
      auto list = [&](const std::map<std::string, DbValue>& values, const char* term, const char* separator) {
        std::string text;
        for (const auto& [column, value] : values) {
          if (!text.empty()) text += separator;
          const std::string quoted = QuotedIdentifier(column);
          text += quoted + term;
          params.push_back(value);
        }
        return text;
      };
      // A NULL key finds its row on every server: "= ?" alone never matches NULL.
      auto where = [&] {
        std::string text;
        for (const auto& [column, value] : change.key) {
          const std::string quoted = QuotedIdentifier(column);
          text += (text.empty() ? " WHERE " : " AND ") + std::string("(") + quoted + " = ? OR (" + quoted +
                  " IS NULL AND ? IS NULL))";
          params.push_back(value);
          params.push_back(value);
        }
        return text;
      };
      if (change.kind == RowChange::Kind::Insert) {
        const std::string columns = list(change.values, "", ", ");
        std::string markers;
        for (size_t i = 0; i < params.size(); ++i) markers += i ? ", ?" : "?";
        sql = change.values.empty() ? "INSERT INTO " + quotedTable + " DEFAULT VALUES"
                                    : "INSERT INTO " + quotedTable + " (" + columns + ") VALUES (" + markers + ")";
        RunChange(sql, params);
        continue;
      }
      if (change.key.empty()) throw EDriverError("a change of a row of " + table + " names no key");
      if (change.kind == RowChange::Kind::Update) {
        if (change.values.empty()) throw EDriverError("an update of a row of " + table + " changes no column");
        sql = "UPDATE " + quotedTable + " SET " + list(change.values, " = ?", ", ");
      } else {
        sql = "DELETE FROM " + quotedTable;
      }
      sql += where();
      const int64_t matched = RunChange(sql, params);
      if (matched == 0) throw EDriverError("row not found in " + table);
      if (matched > 1) throw EDriverError("the key matches more than one row in " + table);
    }
  } catch (...) {
    if (own && inTransaction_) {
      try {
        Rollback();
      } catch (const EDriverError&) {
        // The change's own error says more; the server drops the transaction with the connection.
      }
    }
    throw;
  }
  if (own) Commit();
}

void RegisterOdbcDriver() {
  RegisterDriver({"odbc", "SQLOLEDB", "SQLOLEDB.1", "MSOLEDBSQL", "SQLNCLI11"},
                 [](const ConnectionSettings& settings) { return std::make_unique<OdbcDriver>(settings); });
}

}  // namespace zi::db
