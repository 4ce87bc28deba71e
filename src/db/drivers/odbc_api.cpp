#include "db/drivers/odbc_api.h"

namespace zi::db {

namespace {

class SystemApi final : public OdbcApi {
 public:
  SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) override {
    return SQLAllocHandle(type, input, output);
  }
  SQLRETURN FreeHandle(SQLSMALLINT type, SQLHANDLE handle) override { return SQLFreeHandle(type, handle); }
  SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
                       SQLCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) override {
    return SQLGetDiagRec(type, handle, record, state, native, message, capacity, length);
  }
  SQLRETURN SetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) override {
    return SQLSetEnvAttr(env, attribute, value, length);
  }
  SQLRETURN SetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) override {
    return SQLSetConnectAttr(dbc, attribute, value, length);
  }
  SQLRETURN DriverConnect(SQLHDBC dbc, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outCapacity,
                          SQLSMALLINT* outLength) override {
    return SQLDriverConnect(dbc, nullptr, in, inLength, out, outCapacity, outLength, SQL_DRIVER_NOPROMPT);
  }
  SQLRETURN Disconnect(SQLHDBC dbc) override { return SQLDisconnect(dbc); }
  SQLRETURN EndTran(SQLHDBC dbc, SQLSMALLINT completion) override { return SQLEndTran(SQL_HANDLE_DBC, dbc, completion); }
  SQLRETURN SetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) override {
    return SQLSetStmtAttr(stmt, attribute, value, length);
  }
  SQLRETURN GetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                        SQLINTEGER* length) override {
    return SQLGetStmtAttr(stmt, attribute, value, capacity, length);
  }
  SQLRETURN SetDescField(SQLHDESC desc, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                         SQLINTEGER length) override {
    return SQLSetDescField(desc, record, field, value, length);
  }
  SQLRETURN BindParameter(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT io, SQLSMALLINT cType, SQLSMALLINT sqlType,
                          SQLULEN size, SQLSMALLINT digits, SQLPOINTER buffer, SQLLEN capacity,
                          SQLLEN* indicator) override {
    return SQLBindParameter(stmt, number, io, cType, sqlType, size, digits, buffer, capacity, indicator);
  }
  SQLRETURN ExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) override {
    return SQLExecDirect(stmt, text, length);
  }
  SQLRETURN ProcedureColumns(SQLHSTMT stmt, SQLCHAR* procedure, SQLSMALLINT length) override {
    return SQLProcedureColumns(stmt, nullptr, 0, nullptr, 0, procedure, length, nullptr, 0);
  }
  SQLRETURN NumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) override { return SQLNumResultCols(stmt, count); }
  SQLRETURN DescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length,
                        SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) override {
    return SQLDescribeCol(stmt, column, name, capacity, length, type, size, digits, nullable);
  }
  SQLRETURN Fetch(SQLHSTMT stmt) override { return SQLFetch(stmt); }
  SQLRETURN GetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN capacity,
                    SQLLEN* indicator) override {
    return SQLGetData(stmt, column, cType, buffer, capacity, indicator);
  }
  SQLRETURN MoreResults(SQLHSTMT stmt) override { return SQLMoreResults(stmt); }
  SQLRETURN RowCount(SQLHSTMT stmt, SQLLEN* count) override { return SQLRowCount(stmt, count); }
};

}  // namespace

OdbcApi& SystemOdbcApi() {
  static SystemApi api;
  return api;
}

}  // namespace zi::db
