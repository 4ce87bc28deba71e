#pragma once
// An ODBC double that records what the driver asks and answers as a server would: a procedure
// is described by rows of the catalogue, a call by its result sets and, only once the last of
// them has been passed, its return value and output parameters.

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "db/drivers/odbc_api.h"
#include "toolbox/db_value.h"

namespace zi::db::test {

struct FakeColumn {
  std::string name;
  SQLSMALLINT sqlType = SQL_INTEGER;
};

struct FakeSet {
  std::vector<FakeColumn> columns;  // none: a count of rows, as a server reports after a write
  std::vector<std::vector<DbValue>> rows;
};

struct FakeDiagnostic {
  std::string state;
  int native = 0;
  std::string message;
};

// One parameter of a procedure as SQLProcedureColumns describes it.
struct FakeParam {
  std::string name;
  SQLSMALLINT columnType = SQL_PARAM_INPUT;
  SQLSMALLINT sqlType = SQL_INTEGER;
  SQLINTEGER size = 0;
};

// What the server answers to a call: sets, then outputs by parameter number; or an error.
struct FakeAnswer {
  std::vector<FakeSet> sets;
  std::map<SQLUSMALLINT, DbValue> outputs;
  std::vector<FakeDiagnostic> error;
};

struct FakeBinding {
  SQLSMALLINT io = 0;
  SQLSMALLINT cType = 0;
  SQLSMALLINT sqlType = 0;
  SQLULEN size = 0;
  SQLPOINTER buffer = nullptr;
  SQLLEN capacity = 0;
  SQLLEN* indicator = nullptr;
  std::string name;
};

class RecordingOdbc : public OdbcApi {
 public:
  // The server's side.
  std::map<std::string, std::vector<FakeParam>> procedures;
  std::vector<FakeAnswer> answers;  // taken in order by the calls
  std::vector<FakeDiagnostic> connectError;

  // What the driver did.
  std::vector<std::string> calls;  // names of the functions, in order
  std::vector<std::string> texts;  // executed texts
  std::vector<std::string> connectionStrings;
  std::map<SQLUSMALLINT, FakeBinding> bindings;  // of the last statement

  SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE, SQLHANDLE* output) override {
    *output = reinterpret_cast<SQLHANDLE>(static_cast<uintptr_t>(++handles_ * 16));
    if (type == SQL_HANDLE_STMT) bindings.clear();
    return SQL_SUCCESS;
  }
  SQLRETURN FreeHandle(SQLSMALLINT, SQLHANDLE) override { return SQL_SUCCESS; }
  SQLRETURN GetDiagRec(SQLSMALLINT, SQLHANDLE, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
                       SQLCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) override {
    if (record < 1 || static_cast<size_t>(record) > diagnostics_.size()) return SQL_NO_DATA;
    const FakeDiagnostic& d = diagnostics_[static_cast<size_t>(record - 1)];
    std::memcpy(state, d.state.c_str(), 6);
    *native = d.native;
    const size_t n = std::min(d.message.size(), static_cast<size_t>(capacity - 1));
    std::memcpy(message, d.message.data(), n);
    message[n] = 0;
    *length = static_cast<SQLSMALLINT>(d.message.size());
    return SQL_SUCCESS;
  }
  SQLRETURN SetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) override { return SQL_SUCCESS; }
  SQLRETURN SetConnectAttr(SQLHDBC, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) override {
    if (attribute == SQL_ATTR_AUTOCOMMIT) {
      calls.push_back(reinterpret_cast<uintptr_t>(value) == SQL_AUTOCOMMIT_OFF ? "AutoCommitOff" : "AutoCommitOn");
    }
    return SQL_SUCCESS;
  }
  SQLRETURN DriverConnect(SQLHDBC, SQLCHAR* in, SQLSMALLINT length, SQLCHAR*, SQLSMALLINT, SQLSMALLINT*) override {
    calls.push_back("DriverConnect");
    connectionStrings.emplace_back(reinterpret_cast<const char*>(in), static_cast<size_t>(length));
    return Answer(connectError);
  }
  SQLRETURN Disconnect(SQLHDBC) override {
    calls.push_back("Disconnect");
    return SQL_SUCCESS;
  }
  SQLRETURN EndTran(SQLHDBC, SQLSMALLINT completion) override {
    calls.push_back(completion == SQL_COMMIT ? "Commit" : "Rollback");
    return SQL_SUCCESS;
  }
  SQLRETURN SetStmtAttr(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) override { return SQL_SUCCESS; }
  SQLRETURN GetStmtAttr(SQLHSTMT, SQLINTEGER, SQLPOINTER value, SQLINTEGER, SQLINTEGER*) override {
    *static_cast<SQLHDESC*>(value) = reinterpret_cast<SQLHDESC>(uintptr_t{8});
    return SQL_SUCCESS;
  }
  SQLRETURN SetDescField(SQLHDESC, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                         SQLINTEGER length) override {
    if (field == SQL_DESC_NAME) {
      bindings[static_cast<SQLUSMALLINT>(record)].name.assign(static_cast<const char*>(value),
                                                              static_cast<size_t>(length));
    }
    return SQL_SUCCESS;
  }
  SQLRETURN BindParameter(SQLHSTMT, SQLUSMALLINT number, SQLSMALLINT io, SQLSMALLINT cType, SQLSMALLINT sqlType,
                          SQLULEN size, SQLSMALLINT, SQLPOINTER buffer, SQLLEN capacity,
                          SQLLEN* indicator) override {
    bindings[number] = {io, cType, sqlType, size, buffer, capacity, indicator, ""};
    return SQL_SUCCESS;
  }
  SQLRETURN ExecDirect(SQLHSTMT, SQLCHAR* text, SQLINTEGER length) override {
    calls.push_back("ExecDirect");
    texts.emplace_back(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    if (answers.empty()) return Answer({{"HY000", 0, "no answer scripted"}});
    answer_ = answers.front();
    answers.erase(answers.begin());
    for (const auto& [number, value] : answer_.outputs) {
      (void)value;
      Poison(number);
    }
    set_ = 0;
    row_ = -1;
    return Answer(answer_.error);
  }
  SQLRETURN ProcedureColumns(SQLHSTMT, SQLCHAR* procedure, SQLSMALLINT length) override {
    const std::string name(reinterpret_cast<const char*>(procedure), static_cast<size_t>(length));
    calls.push_back("ProcedureColumns " + name);
    FakeSet catalogue;
    catalogue.columns.resize(13, {"c", SQL_VARCHAR});
    for (const FakeParam& p : procedures[name]) {
      std::vector<DbValue> row(13);
      row[3] = p.name;
      row[4] = static_cast<int64_t>(p.columnType);
      row[5] = static_cast<int64_t>(p.sqlType);
      row[7] = static_cast<int64_t>(p.size);
      catalogue.rows.push_back(row);
    }
    answer_ = {{catalogue}, {}, {}};
    set_ = 0;
    row_ = -1;
    return SQL_SUCCESS;
  }
  SQLRETURN NumResultCols(SQLHSTMT, SQLSMALLINT* count) override {
    *count = set_ < answer_.sets.size() ? static_cast<SQLSMALLINT>(answer_.sets[set_].columns.size()) : 0;
    return SQL_SUCCESS;
  }
  SQLRETURN DescribeCol(SQLHSTMT, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length,
                        SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) override {
    const FakeColumn& c = answer_.sets[set_].columns[column - 1];
    const size_t n = std::min(c.name.size(), static_cast<size_t>(capacity - 1));
    std::memcpy(name, c.name.data(), n);
    name[n] = 0;
    *length = static_cast<SQLSMALLINT>(n);
    *type = c.sqlType;
    *size = 0;
    *digits = 0;
    *nullable = SQL_NULLABLE;
    return SQL_SUCCESS;
  }
  SQLRETURN Fetch(SQLHSTMT) override {
    if (set_ >= answer_.sets.size()) return SQL_ERROR;
    ++row_;
    return static_cast<size_t>(row_) < answer_.sets[set_].rows.size() ? SQL_SUCCESS : SQL_NO_DATA;
  }
  SQLRETURN GetData(SQLHSTMT, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN capacity,
                    SQLLEN* indicator) override {
    const DbValue& value = answer_.sets[set_].rows[static_cast<size_t>(row_)][column - 1];
    if (value.IsNull()) {
      *indicator = SQL_NULL_DATA;
      return SQL_SUCCESS;
    }
    return Write(value, cType, buffer, capacity, indicator);
  }
  SQLRETURN MoreResults(SQLHSTMT) override {
    calls.push_back("MoreResults");
    row_ = -1;
    if (++set_ < answer_.sets.size()) return SQL_SUCCESS;
    // The server sends the return value and the outputs after the last result.
    for (const auto& [number, value] : answer_.outputs) {
      const FakeBinding& b = bindings.at(number);
      if (value.IsNull()) *b.indicator = SQL_NULL_DATA;
      else Write(value, b.cType, b.buffer, b.capacity, b.indicator);
    }
    return SQL_NO_DATA;
  }
  SQLRETURN RowCount(SQLHSTMT, SQLLEN* count) override {
    *count = 1;
    return SQL_SUCCESS;
  }

 private:
  SQLRETURN Answer(const std::vector<FakeDiagnostic>& error) {
    diagnostics_ = error;
    return error.empty() ? SQL_SUCCESS : SQL_ERROR;
  }
  // Until the outputs arrive, their memory holds what a careless reader would take for a value.
  void Poison(SQLUSMALLINT number) {
    const auto found = bindings.find(number);
    if (found == bindings.end()) return;
    std::memset(found->second.buffer, 0x5A, static_cast<size_t>(std::max<SQLLEN>(found->second.capacity, 1)));
    *found->second.indicator = 1;
  }
  static SQLRETURN Write(const DbValue& value, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN capacity,
                         SQLLEN* indicator) {
    auto fixed = [&](const auto& v) {
      std::memcpy(buffer, &v, sizeof v);
      *indicator = sizeof v;
      return SQL_SUCCESS;
    };
    switch (cType) {
      case SQL_C_SSHORT: return fixed(static_cast<SQLSMALLINT>(value.AsInteger()));
      case SQL_C_SLONG: return fixed(static_cast<SQLINTEGER>(value.AsInteger()));
      case SQL_C_SBIGINT: return fixed(static_cast<SQLBIGINT>(value.AsInteger()));
      case SQL_C_DOUBLE: return fixed(value.AsFloat());
      case SQL_C_WCHAR: {
        // Each byte is the UTF-16 unit of the same number; the text "\x01" stands for a character
        // that Windows-1252 lacks.
        const std::string& text = value.AsText();
        std::u16string wide;
        for (const char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
        if (text == "\x01") wide = u"\u4E2D";
        const size_t n = std::min(wide.size(), static_cast<size_t>(capacity / 2 - 1));
        std::memcpy(buffer, wide.data(), n * 2);
        static_cast<char16_t*>(buffer)[n] = 0;
        *indicator = static_cast<SQLLEN>(wide.size() * 2);
        return SQL_SUCCESS;
      }
      default: {
        const std::string& text = value.AsText();
        const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
        std::memcpy(buffer, text.data(), n);
        static_cast<char*>(buffer)[n] = 0;
        *indicator = static_cast<SQLLEN>(text.size());
        return SQL_SUCCESS;
      }
    }
  }

  int handles_ = 0;
  std::vector<FakeDiagnostic> diagnostics_;
  FakeAnswer answer_;
  size_t set_ = 0;
  long row_ = -1;
};

}  // namespace zi::db::test
