#pragma once
// The ODBC functions the ODBC driver calls, behind an interface: the program uses the system's
// driver manager, tests a recording double that checks what the driver asks and in which order.

#include <sql.h>
#include <sqlext.h>

namespace zi::db {

class OdbcApi {
 public:
  virtual ~OdbcApi() = default;
  virtual SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) = 0;
  virtual SQLRETURN FreeHandle(SQLSMALLINT type, SQLHANDLE handle) = 0;
  virtual SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                               SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) = 0;
  virtual SQLRETURN SetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) = 0;
  virtual SQLRETURN SetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) = 0;
  virtual SQLRETURN DriverConnect(SQLHDBC dbc, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
                                  SQLSMALLINT outCapacity, SQLSMALLINT* outLength) = 0;
  virtual SQLRETURN Disconnect(SQLHDBC dbc) = 0;
  virtual SQLRETURN EndTran(SQLHDBC dbc, SQLSMALLINT completion) = 0;
  virtual SQLRETURN SetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) = 0;
  virtual SQLRETURN GetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                                SQLINTEGER* length) = 0;
  virtual SQLRETURN SetDescField(SQLHDESC desc, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                                 SQLINTEGER length) = 0;
  virtual SQLRETURN BindParameter(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT io, SQLSMALLINT cType,
                                  SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, SQLPOINTER buffer,
                                  SQLLEN capacity, SQLLEN* indicator) = 0;
  virtual SQLRETURN ExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) = 0;
  virtual SQLRETURN ProcedureColumns(SQLHSTMT stmt, SQLCHAR* procedure, SQLSMALLINT length) = 0;
  virtual SQLRETURN NumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) = 0;
  virtual SQLRETURN DescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT capacity,
                                SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                SQLSMALLINT* nullable) = 0;
  virtual SQLRETURN Fetch(SQLHSTMT stmt) = 0;
  virtual SQLRETURN GetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer,
                            SQLLEN capacity, SQLLEN* indicator) = 0;
  virtual SQLRETURN MoreResults(SQLHSTMT stmt) = 0;
  virtual SQLRETURN RowCount(SQLHSTMT stmt, SQLLEN* count) = 0;
};

// The driver manager of the system (unixODBC).
OdbcApi& SystemOdbcApi();

}  // namespace zi::db
