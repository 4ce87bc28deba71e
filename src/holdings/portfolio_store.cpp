#include "holdings/portfolio_store.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "db/connection.h"
#include "holdings/holdings_calls.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

constexpr int kNoPortfolio = 3932;
// Rows per insert statement: well below the server's limit of bound values per statement.
constexpr size_t kRowsPerInsert = 200;

bool IsNonZero(double value) { return std::isfinite(value) && value != 0; }

DbValue NumberValue(double value) { return std::isfinite(value) ? DbValue(value) : DbValue(); }

TDayNumber Today() {
  const platform::LocalTime now = platform::Now();
  return DayNumberFromDate({now.year, now.month, now.day}).value_or(kNoDate);
}



void SetHeader(db::TDbCommand& ds, const TPortfolioRec& header) {
  ds.SetInteger("@id", header.id);
  ds.SetInteger("@emp", header.emp);
  ds.SetDayNumber("@dtref", header.dtref);
  ds.SetDayNumber("@dtpub", header.dtpub);
  ds.SetDayNumber("@dtrtf", header.dtrtf);
  ds.SetInteger("@TipoDocumento", header.TipoDocumento);
  ds.SetDayNumber("@dtrefinformadapelafonte", header.dtrefinformadapelafonte);
  SetNumberParam(ds, "@PL", header.PL);
  SetNumberParam(ds, "@TotalPorc", header.TotalPorc);
}

// Header and securities in one transaction, then the check when asked.
int Store(const char* procedure, TPortfolioRec& header, TPortfolioItems& securities, bool check, bool isNew) {
  int code = 0;
  {
    db::TTransactionGuard guard(db::ZiDb());
    if (guard.Code() != 0) return guard.Code();
    code = GuardedHoldingsCall(procedure, [&] {
      db::TDataSetHolder ds(db::ZiDb(), procedure);
      if (!ds) return ds.Failure(kHoldingsCallRaised);
      SetHeader(*ds, header);
      const int result = db::ZiDb().ExecStProc(*ds, 0);
      if (result == 0 && isNew) header.id = ds->ParamAsInteger("@id");
      return result;
    });
    if (code == 0) code = securities.Save(header.id, isNew);
    const int ended = code == 0 ? guard.Commit() : guard.Rollback();
    if (code == 0) code = ended;
  }
  if (check && code == 0) code = DbPortfolioCheck(header.id);
  return code;
}

}  // namespace

int TPortfolioItems::Find(int32_t asset, int32_t application, int32_t classification) const {
  for (int i = static_cast<int>(entries_.size()) - 1; i >= 0; --i) {
    const TPortfolioItem& e = entries_[static_cast<size_t>(i)];
    if (e.IdPtfAssetTvm == asset && e.TipoAplicacao == application && e.TipoClassificacao == classification) return i;
  }
  return -1;
}

void TPortfolioItems::Set(int32_t asset, int32_t application, int32_t classification, bool add, double qtdtit,
                          double peso, double vlr) {
  int index = Find(asset, application, classification);
  if (!add && !IsNonZero(vlr) && !IsNonZero(peso)) {
    if (index >= 0) {
      entries_[static_cast<size_t>(index)] = entries_.back();
      entries_.pop_back();
    }
    return;
  }
  if (index < 0) {
    entries_.push_back({asset, application, classification, false, 0, 0, 0});
    index = static_cast<int>(entries_.size()) - 1;
  }
  TPortfolioItem& entry = entries_[static_cast<size_t>(index)];
  if (add) {
    entry.qtdtit += qtdtit;
    entry.peso += peso;
    entry.vlr += vlr;
  } else {
    entry.qtdtit = qtdtit;
    entry.peso = peso;
    entry.vlr = vlr;
    entry.unconfirmed = false;
  }
}

void TPortfolioItems::Compact() {
  std::erase_if(entries_, [](const TPortfolioItem& e) { return !IsNonZero(e.vlr) && !IsNonZero(e.peso); });
}

void TPortfolioItems::Load(db::TDbCommand& rows) {
  entries_.clear();
  const auto number = [&](int column) {
    const DbValue& value = rows.FieldByIndex(column);
    return value.IsNull() ? kNoValue : db::ValueAsFloat(value);
  };
  for (; !rows.Eof(); rows.Next()) {
    entries_.push_back({db::ValueAsInteger(rows.FieldByIndex(1)), db::ValueAsInteger(rows.FieldByIndex(2)),
                        db::ValueAsInteger(rows.FieldByIndex(3)), false, number(4), number(5), number(6)});
  }
}

int TPortfolioItems::Save(int32_t portfolio, bool isNew) {
  if (!isNew) {
    if (const int code = RunSqlText("delete from PortfolioItemTvm where IdPortfolio = ?", {portfolio})) return code;
  }
  Compact();
  std::vector<const TPortfolioItem*> confirmed;
  for (const TPortfolioItem& entry : entries_)
    if (!entry.unconfirmed) confirmed.push_back(&entry);
  for (size_t first = 0; first < confirmed.size(); first += kRowsPerInsert) {
    std::string sql =
        "insert into PortfolioItemTvm (IdPortfolio, IdPtfAssetTvm, TipoAplicacao, TipoClassificacao, vlr, peso, "
        "qtdtit) values ";
    std::vector<DbValue> params;
    const size_t last = std::min(confirmed.size(), first + kRowsPerInsert);
    for (size_t i = first; i < last; ++i) {
      const TPortfolioItem& e = *confirmed[i];
      sql += i == first ? "(?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?)";
      params.insert(params.end(), {portfolio, e.IdPtfAssetTvm, e.TipoAplicacao,
                                   e.TipoClassificacao > 0 ? DbValue(e.TipoClassificacao) : DbValue(),
                                   NumberValue(e.vlr), NumberValue(e.peso), NumberValue(e.qtdtit)});
    }
    if (const int code = RunSqlText(sql, std::move(params))) return code;
  }
  return 0;
}

int DbPortfolioAdd(TPortfolioRec& header, TPortfolioItems& securities, bool check) {
  return Store("PortfolioAdd", header, securities, check, true);
}

int DbPortfolioPut(TPortfolioRec& header, TPortfolioItems& securities, bool check) {
  header.dtrtf = Today();
  return Store("PortfolioPut", header, securities, check, false);
}

int DbPortfolioCheck(int32_t id) {
  return GuardedHoldingsCall("DbPortfolioCheck", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "PortfolioCheck");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@idPortfolio", id);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbPortfolioGetPelaEmpTipoDocData(int32_t emp, int type, TDayNumber dtref, TPortfolioRec& header) {
  return GuardedHoldingsCall("DbPortfolioGetPelaEmpTipoDocData", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "PortfolioGetPelaEmpTipoDocData");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@TipoDocumento", type);
    ds->SetInteger("@emp", emp);
    ds->SetDayNumber("@dtref", dtref);
    if (const int code = db::ZiDb().ExecStProc(*ds, 2)) return code;
    const auto number = [&](const char* name) {
      const DbValue& value = ds->ParamValue(name);
      return value.IsNull() ? kNoValue : db::ValueAsFloat(value);
    };
    header.id = ds->ParamAsInteger("@id");
    header.emp = ds->ParamAsInteger("@emp");
    header.TipoDocumento = ds->ParamAsBoundedByte("@TipoDocumento", 7);
    header.dtref = ds->ParamAsDayNumber("@dtref");
    header.dtpub = ds->ParamAsDayNumber("@dtpub");
    header.dtrtf = ds->ParamAsDayNumber("@dtrtf");
    header.dtrefinformadapelafonte = ds->ParamAsDayNumber("@dtrefinformadapelafonte");
    header.PL = number("@PL");
    header.TotalPorc = number("@TotalPorc");
    return 0;
  });
}

int DbPortfolioAddOuPut(TPortfolioRec& header, TPortfolioItems& securities, bool check) {
  int code = 0;
  try {
    TPortfolioRec found;
    code = DbPortfolioGetPelaEmpTipoDocData(header.emp, header.TipoDocumento, header.dtref, found);
    if (code == 0) {
      header.id = found.id;
      code = DbPortfolioPut(header, securities, check);
    } else if (code == kNoPortfolio) {
      header.dtrtf = kNoDate;
      code = DbPortfolioAdd(header, securities, check);
    }
  } catch (const std::exception& e) {
    if (code == 0) code = kPortfolioWriteRaised;
    Loga("DbPortfolioAddOuPut error:" + std::to_string(code) + " exception: " + ExceptionClassName(e) + " " + e.what());
  }
  return code;
}

}  // namespace zi
