#include "desktop/core/doc_windows.h"

#include <fmt/format.h>

#include "catalogue/call_support.h"
#include "db/connection.h"
#include "db/sql_errors.h"
#include "desktop/core/window_kinds.h"
#include "import_client/remote_import.h"
#include "toolbox/codec.h"
#include "toolbox/dates.h"

namespace zi::desktop {

namespace {

std::string ShownValue(const DbValue& value) {
  switch (value.Type()) {
    case DbType::Null: return {};
    case DbType::Integer: return std::to_string(value.AsInteger());
    case DbType::Float: return fmt::format("{}", value.AsFloat());
    case DbType::Text: return value.AsText();
    case DbType::Boolean: return value.AsBoolean() ? "1" : "0";
    case DbType::DateTime: return FormatStampDateTime(CalendarFromDateTime(value.AsDateTime()));
    case DbType::Blob: return "(blob)";
  }
  return {};
}

}  // namespace

tImpWin::tImpWin() {
  form_.SetRemoteImport([](const std::string& file, int mode, TImportEncoding encoding,
                            const std::function<void(std::string_view)>& output) {
    return EnviaArquivoParaImportacao(file, mode, false, encoding, [&](const std::string& text) { output(text); });
  });
}

int tImpWin::MdiType() const { return kKindImport; }

void tImpWin::Okay() {
  if (IsIdleRunning()) return;
  form_.Okay();
  if (form_.RunActive()) IdleStart();
}

void tImpWin::Cancel() {
  form_.Cancel();
  IdleStop();
}

void tImpWin::IdleStep() {
  if (!form_.Idle()) IdleStop();
}

void tImpWin::IdleEnd() {
  // A step that raised stopped the slices with the run still there: it ends here, as Cancel.
  form_.Cancel();
  if (onRunEnd_) onRunEnd_();
}

tLogForm::tLogForm(TReader reader) : reader_(std::move(reader)) {}

int tLogForm::MdiType() const { return kKindLog; }

void tLogForm::OnFirstPaint() {
  table_ = {};
  lastCode_ = reader_(table_);
  if (lastCode_ != 0) db::ShowSqlErrorTxt("dataset:DataLogDump", lastCode_);
  if (onReload_) onReload_();
}

int tLogForm::DataLogDump(TTable& table) {
  return GuardedCall("DataLogDump", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "DataLogDump");
    if (!ds) return ds.Failure(kCallFailed);
    const int code = db::ZiDb().ExecStProc(*ds, 2);
    if (code != 0) return code;
    for (int i = 0; i < ds->FieldCount(); ++i) table.columns.push_back(ds->FieldName(i));
    for (; !ds->Eof(); ds->Next()) {
      std::vector<std::string> row;
      for (int i = 0; i < ds->FieldCount(); ++i) row.push_back(ShownValue(ds->FieldByIndex(i)));
      table.rows.push_back(std::move(row));
    }
    return 0;
  });
}

}  // namespace zi::desktop
