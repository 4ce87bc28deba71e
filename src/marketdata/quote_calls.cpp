#include "marketdata/quote_calls.h"

#include <cmath>
#include <functional>

#include "db/connection.h"
#include "toolbox/log.h"

namespace zi {

namespace {

constexpr int kCallFailed = 3939;
constexpr int kDayWithoutDate = 4005;

// One call: an exception on the way is logged and becomes a code.
int Guarded(const char* where, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode(where, code, e, kCallFailed);
    return code;
  }
}

std::string ValueName(const char* prefix, size_t position) { return prefix + std::to_string(position + 1); }

// Where CotacaoImportV4's parameters lie in a command: learned once for each command, since a
// price file sets its sixty-two parameters on every line.
struct TImportPositions {
  uint64_t serial = 0;
  size_t ticker = 0, bolsa = 0, date = 0, noOverwrite = 0, naoLogar = 0, ifOperador = 0, ifValorTermo1 = 0,
         ifTermo2 = 0;
  std::array<size_t, kQuoteValues> values{}, keep{};
};

const TImportPositions& PositionsIn(const db::TDbCommand& ds) {
  static TImportPositions positions;
  if (positions.serial == ds.Serial()) return positions;
  positions.ticker = ds.ParamPosition("@ticker");
  positions.bolsa = ds.ParamPosition("@bolsa");
  positions.date = ds.ParamPosition("@date");
  for (size_t i = 0; i < kQuoteValues; ++i) {
    positions.values[i] = ds.ParamPosition(ValueName("@valor", i));
    positions.keep[i] = ds.ParamPosition(ValueName("@keepvlr", i));
  }
  positions.noOverwrite = ds.ParamPosition("@NoOverwrite");
  positions.naoLogar = ds.ParamPosition("@NaoLogar");
  positions.ifOperador = ds.ParamPosition("@IfOperador");
  positions.ifValorTermo1 = ds.ParamPosition("@IfValorTermo1");
  positions.ifTermo2 = ds.ParamPosition("@IfTermo2");
  positions.serial = ds.Serial();
  return positions;
}

// The day number of a date read from the server; day 0 when it has none.
TDayNumber DayOf(const DbValue& value) {
  const double days = std::floor(db::ValueAsDateTime(value).days) - kDay1920;
  if (days < 1 || days > 65535) return kNoDate;
  return TDayNumber{static_cast<uint16_t>(days)};
}

}  // namespace

int DbCotacaoImportV4(const TQuoteImport& line) {
  return Guarded("DbCotacaoImportV4", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CotacaoImportV4");
    if (!ds) return ds.Failure(kCallFailed);
    const TImportPositions& at = PositionsIn(*ds);
    ds->SetTextAt(at.ticker, line.ticker);
    ds->SetIntegerAt(at.bolsa, line.exchange);
    ds->SetDayNumberAt(at.date, line.date);
    for (size_t i = 0; i < kQuoteValues; ++i) {
      ds->SetFloatAt(at.values[i], line.values[i]);
      ds->SetBooleanAt(at.keep[i], line.keep[i]);
    }
    ds->SetBooleanAt(at.noOverwrite, line.noOverwrite);
    ds->SetBooleanAt(at.naoLogar, line.naoLogar);
    ds->SetIntegerAt(at.ifOperador, line.ifOperador);
    ds->SetIntegerAt(at.ifValorTermo1, line.ifValorTermo1);
    ds->SetFloatAt(at.ifTermo2, line.ifTermo2);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbCotacaoImportDelRange(const std::string& ticker, int exchange, TDayNumber from, TDayNumber to) {
  return Guarded("DbCotacaoImportDelRange", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CotacaoImportDelRange");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetText("@ticker", ticker);
    ds->SetInteger("@bolsa", exchange);
    ds->SetDayNumber("@datefrom", from);
    ds->SetDayNumber("@dateto", to);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbCotacaoDaAnbV2(int anb, TDayNumber min, TDayNumber max, std::vector<TQuoteRecord>& days) {
  days.clear();
  const int code = Guarded("DbCotacaoDaAnbV2", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CotacaoDaAnbV2");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@anb", anb);
    ds->SetDayNumber("@min", min);
    ds->SetDayNumber("@max", max);
    if (const int failed = db::ZiDb().ExecStProc(*ds, 2)) return failed;
    for (; !ds->Eof(); ds->Next()) {
      TQuoteRecord& day = days.emplace_back();
      day.date = DayOf(ds->FieldByIndex(1));
      if (day.date.IsNoDate()) return kDayWithoutDate;
      for (int i = 0; i < kQuoteValues; ++i)
        day.values[static_cast<size_t>(i)] = db::ValueAsFloat(ds->FieldByIndex(2 + i));
    }
    return 0;
  });
  if (code != 0) days.clear();
  return code;
}

int DbCotacaoDaAnbMinDate(int anb, TDayNumber& date) {
  date = kNoDate;
  return Guarded("DbCotacaoDaAnbMinDate", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CotacaoDaAnbMinDate");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@anb", anb);
    const int failed = db::ZiDb().ExecStProc(*ds, 0);
    if (failed == 0) date = DayOf(ds->ParamValue("@date"));
    return failed;
  });
}

int DbCotacaoPutV4(int anb, const TQuoteRecord& day) {
  return Guarded("DbCotacaoPutV4", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CotacaoPutV4");
    if (!ds) return ds.Failure(kCallFailed);
    // The procedure's parameters go by position: the series, the date, the values, and false.
    const std::vector<db::TDbCommand::Param>& params = ds->Params();
    if (params.size() != 1 + 2 + kQuoteValues + 1) return kCallFailed;
    ds->SetIntegerAt(1, anb);
    ds->SetDayNumberAt(2, day.date);
    for (size_t i = 0; i < kQuoteValues; ++i) ds->SetFloatAt(3 + i, day.values[i]);
    ds->SetBooleanAt(3 + kQuoteValues, false);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

}  // namespace zi
