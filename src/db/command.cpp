#include "db/command.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "db/connection.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi::db {

namespace {

int CheckedInt(int64_t v) {
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    throw EConvertError(std::to_string(v) + " is not a valid integer value");
  return static_cast<int>(v);
}

std::string FloatText(double v) { return fmt::format("{}", v); }

uint64_t NextSerial() {
  static uint64_t serial = 0;
  return ++serial;
}

}  // namespace

int ValueAsInteger(const DbValue& value) {
  switch (value.Type()) {
    case DbType::Null: return 0;
    case DbType::Integer: return CheckedInt(value.AsInteger());
    case DbType::Boolean: return value.AsBoolean() ? 1 : 0;
    case DbType::Float: {
      double v = value.AsFloat();
      if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) <= std::numeric_limits<int>::max())
        return static_cast<int>(v);
      throw EConvertError("'" + FloatText(v) + "' is not a valid integer value");
    }
    case DbType::Text: {
      std::string text = Trim(value.AsText());
      int v = 0;
      auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        throw EConvertError("'" + value.AsText() + "' is not a valid integer value");
      return v;
    }
    case DbType::Blob:
    case DbType::DateTime: break;
  }
  throw EConvertError(std::string("a ") + DbTypeName(value.Type()) + " value is not an integer");
}

std::string ValueAsText(const DbValue& value) {
  switch (value.Type()) {
    case DbType::Null: return {};
    case DbType::Integer: return std::to_string(value.AsInteger());
    case DbType::Float: return FloatText(value.AsFloat());
    case DbType::Text: return value.AsText();
    case DbType::Blob: return value.AsBlob().bytes;
    case DbType::Boolean: return value.AsBoolean() ? "True" : "False";
    case DbType::DateTime: return FormatStampDateTime(CalendarFromDateTime(value.AsDateTime()));
  }
  return {};
}

double ValueAsFloat(const DbValue& value) {
  switch (value.Type()) {
    case DbType::Null: return kMissing;
    case DbType::Integer: return static_cast<double>(value.AsInteger());
    case DbType::Float: return value.AsFloat();
    case DbType::Boolean: return value.AsBoolean() ? 1 : 0;
    case DbType::DateTime: return value.AsDateTime().days;
    case DbType::Text: {
      if (auto v = ParseDecimal(Trim(value.AsText()))) return *v;
      throw EConvertError("'" + value.AsText() + "' is not a valid floating point value");
    }
    case DbType::Blob: break;
  }
  throw EConvertError("a blob value is not a number");
}

bool ValueAsBoolean(const DbValue& value) {
  if (value.Type() == DbType::Boolean) return value.AsBoolean();
  // A value that is not a boolean counts as true when its integer value is not 0.
  return ValueAsInteger(value) != 0;
}

TDateTime ValueAsDateTime(const DbValue& value) {
  switch (value.Type()) {
    case DbType::Null: return {};
    case DbType::DateTime: return value.AsDateTime();
    case DbType::Float: return TDateTime{value.AsFloat()};
    case DbType::Integer: return TDateTime{static_cast<double>(value.AsInteger())};
    default: break;
  }
  throw EConvertError(std::string("a ") + DbTypeName(value.Type()) + " value is not a date-time");
}

std::string ValueForLog(const DbValue& value) {
  if (value.IsNull()) return "NULL";
  if (value.Type() == DbType::Blob) return "Blob:" + std::to_string(value.AsBlob().bytes.size()) + "bytes";
  return ValueAsText(value);
}

TDbCommand::TDbCommand(TAdoDataBaseCustomizado& connection, CommandType type, std::string name,
                       std::unique_ptr<PreparedProcedure> procedure)
    : connection_(connection), type_(type), name_(std::move(name)), serial_(NextSerial()), procedure_(std::move(procedure)) {
  if (procedure_)
    for (const ParamDesc& p : procedure_->Params()) params_.push_back({p, DbValue()});
}

TDbCommand::Param& TDbCommand::FindParam(const std::string& name) {
  for (auto& p : params_)
    if (SameTextAscii(p.desc.name, name)) return p;
  throw EDatabaseError("Parameter '" + name + "' not found in " + name_);
}

const TDbCommand::Param& TDbCommand::FindParam(const std::string& name) const {
  return const_cast<TDbCommand*>(this)->FindParam(name);
}

void TDbCommand::SetParam(const std::string& name, DbValue value) { FindParam(name).value = std::move(value); }

void TDbCommand::SetInteger(const std::string& name, int64_t value) { SetIntegerAt(ParamPosition(name), value); }

void TDbCommand::SetText(const std::string& name, const std::string& value) { SetTextAt(ParamPosition(name), value); }

void TDbCommand::SetRawText(const std::string& name, const std::string& value) { SetParam(name, value); }

void TDbCommand::SetBoolean(const std::string& name, bool value) { SetBooleanAt(ParamPosition(name), value); }

void TDbCommand::SetDateTime(const std::string& name, TDateTime value) {
  SetParam(name, value.days == 0 ? DbValue() : DbValue(value));
}

void TDbCommand::SetMoment(const std::string& name, TMoment value) {
  SetParam(name, value.value == 0 ? DbValue() : DbValue(TDateTime{value.value / 86400.0 + kDay1980}));
}

void TDbCommand::SetDayNumber(const std::string& name, TDayNumber value) { SetDayNumberAt(ParamPosition(name), value); }

void TDbCommand::SetFloat(const std::string& name, double value) { SetFloatAt(ParamPosition(name), value); }

void TDbCommand::SetBlob(const std::string& name, const std::string& bytes) {
  SetParam(name, bytes.empty() ? DbValue() : DbValue(TBlob{bytes}));
}

void TDbCommand::ClearParam(const std::string& name) { SetParam(name, DbValue()); }

size_t TDbCommand::ParamPosition(const std::string& name) const {
  return static_cast<size_t>(&FindParam(name) - params_.data());
}

void TDbCommand::SetIntegerAt(size_t position, int64_t value) { params_.at(position).value = value; }

void TDbCommand::SetTextAt(size_t position, std::string_view value) { params_.at(position).value = Trim(value); }

void TDbCommand::SetBooleanAt(size_t position, bool value) { params_.at(position).value = value; }

void TDbCommand::SetDayNumberAt(size_t position, TDayNumber value) {
  params_.at(position).value = value.value == 0 ? DbValue() : DbValue(TDateTime{value.value + kDay1920});
}

void TDbCommand::SetFloatAt(size_t position, double value) {
  params_.at(position).value = std::isnan(value) ? DbValue() : DbValue(value);
}

const DbValue& TDbCommand::ParamValue(const std::string& name) const { return FindParam(name).value; }

int TDbCommand::ParamAsInteger(const std::string& name) const { return ValueAsInteger(ParamValue(name)); }

const DbValue& TDbCommand::ReturnValue() const {
  for (const Param& p : params_) {
    if (p.desc.direction == ParamDirection::ReturnValue) return p.value;
  }
  throw EDatabaseError("Procedure " + name_ + " has no return value");
}

uint8_t TDbCommand::ParamAsByte(const std::string& name) const {
  int v = ParamAsInteger(name);
  if (v < 0 || v > 255) throw EDBException(4017);
  return static_cast<uint8_t>(v);
}

uint8_t TDbCommand::ParamAsBoundedByte(const std::string& name, int upperBound) const {
  int v = ParamAsInteger(name);
  if (v < 0 || v > 255 || v > upperBound) {
    Loga(name + ".out of range detected. hi:" + std::to_string(upperBound) + " vi:" + std::to_string(v));
    throw EDBException(25035);
  }
  return static_cast<uint8_t>(v);
}

std::string TDbCommand::ParamAsText(const std::string& name) const { return Trim(ValueAsText(ParamValue(name))); }

bool TDbCommand::ParamAsBoolean(const std::string& name) const { return ValueAsBoolean(ParamValue(name)); }

TDateTime TDbCommand::ParamAsDateTime(const std::string& name) const { return ValueAsDateTime(ParamValue(name)); }

TDayNumber TDbCommand::ParamAsDayNumber(const std::string& name) const {
  TDateTime value = ParamAsDateTime(name);
  if (value.days == 0) return TDayNumber{0};
  double day = std::floor(value.days) - kDay1920;
  if (day < 0 || day > std::numeric_limits<uint16_t>::max())
    throw EConvertError(name + ": " + ValueAsText(DbValue(value)) + " has no day number");
  return TDayNumber{static_cast<uint16_t>(day)};
}

double TDbCommand::ParamAsFloat(const std::string& name) const { return ValueAsFloat(ParamValue(name)); }

void TDbCommand::Attach(std::unique_ptr<DriverResult> result, bool openResultSet) {
  Close();
  for (auto& p : params_) {
    if (p.desc.direction == ParamDirection::Input) continue;
    auto it = result->Outputs().find(p.desc.name);
    p.value = it == result->Outputs().end() ? DbValue() : it->second;
  }
  result_ = std::move(result);
  if (openResultSet) {
    if (!result_->NextResultSet(current_)) current_ = {};
    open_ = true;
  }
}

void TDbCommand::Next() {
  if (!Eof()) ++row_;
}

int TDbCommand::NextResultSet(bool& more) {
  more = false;
  if (!result_) return 0;
  row_ = 0;
  current_ = {};
  open_ = false;
  try {
    more = result_->NextResultSet(current_);
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode("NextResultSet " + name_, code, e, 3939);
    Close();
    connection_.NoteLostTransaction("NextResultSet " + name_);
    return code;
  }
  open_ = more;
  return 0;
}

const std::string& TDbCommand::FieldName(int index) const {
  if (index < 0 || index >= FieldCount()) throw EDatabaseError(name_ + ": field index out of range");
  return current_.columns[static_cast<size_t>(index)];
}

bool TDbCommand::HasField(const std::string& name) const {
  for (const auto& c : current_.columns)
    if (SameTextAscii(c, name)) return true;
  return false;
}

const DbValue& TDbCommand::FieldByIndex(int index) const {
  if (!open_) throw EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset");
  if (Eof()) throw EDatabaseError(name_ + ": no current record");
  if (index < 0 || index >= FieldCount()) throw EDatabaseError(name_ + ": field index out of range");
  return current_.rows[row_][static_cast<size_t>(index)];
}

const DbValue& TDbCommand::Field(const std::string& name) const {
  for (size_t i = 0; i < current_.columns.size(); ++i)
    if (SameTextAscii(current_.columns[i], name)) return FieldByIndex(static_cast<int>(i));
  throw EDatabaseError(name_ + ": Field '" + name + "' not found");
}

int TDbCommand::FieldAsInteger(const std::string& name) const { return ValueAsInteger(Field(name)); }

std::string TDbCommand::FieldAsText(const std::string& name) const { return Trim(ValueAsText(Field(name))); }

std::string TDbCommand::FieldAsRawText(const std::string& name) const { return ValueAsText(Field(name)); }

double TDbCommand::FieldAsFloat(const std::string& name) const { return ValueAsFloat(Field(name)); }

bool TDbCommand::FieldAsBoolean(const std::string& name) const { return ValueAsBoolean(Field(name)); }

uint8_t TDbCommand::FieldAsByte(const std::string& name) const {
  int v = FieldAsInteger(name);
  if (v < 0 || v > 255) throw EDBException(4016);
  return static_cast<uint8_t>(v);
}

TDateTime TDbCommand::FieldAsDateTime(const std::string& name) const { return ValueAsDateTime(Field(name)); }

void TDbCommand::Close() {
  result_.reset();
  current_ = {};
  row_ = 0;
  open_ = false;
}

}  // namespace zi::db
