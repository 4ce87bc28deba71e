#include "marketdata/news.h"

#include <functional>

#include "catalogue/call_support.h"
#include "db/connection.h"
#include "toolbox/display_formats.h"

namespace zi {

namespace {

void SetItem(db::TDbCommand& ds, const tNws& item) {
  ds.SetInteger("@id", item.id);
  ds.SetInteger("@emp", item.emp);
  ds.SetDayNumber("@date", item.date);
  ds.SetInteger("@seq", item.seq);
  ds.SetInteger("@dra", 0);
  ds.SetRawText("@txt", item.txt);
}

}  // namespace

std::string NwsOneLine(const tNws& item) {
  std::string text;
  bool blank = true;  // drops leading blanks and keeps one of each run
  for (const char c : item.txt) {
    if (static_cast<unsigned char>(c) <= ' ') {
      if (!blank) text += ' ';
      blank = true;
    } else {
      text += c;
      blank = false;
    }
  }
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return ShownDay(item.date) + " " + std::to_string(item.seq) + " " + text + "...";
}

int DbNwsImportV2(int emp, TDayNumber date, int seq, const std::string& txt) {
  db::TDataSetHolder ds(db::ZiDb(), "NwsImportV2");
  if (!ds) return ds.Failure(kCallFailed);
  ds->SetInteger("@emp", emp);
  ds->SetDayNumber("@date", date);
  ds->SetInteger("@seq", seq);
  ds->SetInteger("@dra", 0);
  ds->SetRawText("@txt", txt);
  return db::ZiDb().ExecStProc(*ds, 0);
}

int DbNwsGet(int id, tNws& item) {
  item = tNws{};
  return GuardedCall("DbNwsGet", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "NwsGet");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", id);
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    if (code != 0) return code;
    item.id = ds->ParamAsInteger("@id");
    item.emp = ds->ParamAsInteger("@emp");
    item.date = DayNumberOfValue(ds->ParamValue("@date"));
    item.seq = ds->ParamAsInteger("@seq");
    item.txt = ds->ParamValue("@txt").IsNull() ? std::string() : ds->ParamValue("@txt").AsText();
    return 0;
  });
}

int DbNwsAdd(tNws& item) {
  return GuardedCall("DbNwsAdd", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "NwsAdd");
    if (!ds) return ds.Failure(kCallFailed);
    SetItem(*ds, item);
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0) item.id = ds->ParamAsInteger("@id");
    return code;
  });
}

int DbNwsPut(const tNws& item) {
  return GuardedCall("DbNwsPut", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "NwsPut");
    if (!ds) return ds.Failure(kCallFailed);
    SetItem(*ds, item);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbNwsDel(int id) {
  return GuardedCall("DbNwsDel", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "NwsDel");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", id);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbNwsDaEmpAbrv(int emp, std::vector<tNws>& items) {
  items.clear();
  const int code = GuardedCall("DbNwsDaEmpAbrv", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "NwsDaEmpAbrv");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", emp);
    if (const int failed = db::ZiDb().ExecStProc(*ds, 2)) return failed;
    for (; !ds->Eof(); ds->Next()) {
      items.push_back({ds->FieldAsInteger("id"), ds->FieldAsInteger("emp"), DayNumberOfValue(ds->Field("date")),
                       ds->FieldAsInteger("seq"), ds->FieldAsRawText("txt")});
    }
    return 0;
  });
  if (code != 0) items.clear();
  return code;
}

}  // namespace zi
