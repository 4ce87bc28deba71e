#include "holdings/composition.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "db/connection.h"
#include "holdings/db_call.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

constexpr int kCallFailed = kHoldingsCallFailed;
// One insert statement carries at most this many items, well inside the server's limit of bound values.
constexpr size_t kItemsPerInsert = 1000;
constexpr int kSignificantDigits = 11;

// A value the database keeps: a missing or infinite number goes as NULL.
double Stored(double value) { return std::isfinite(value) ? value : kMissing; }

TDayNumber Today() {
  const platform::LocalTime now = platform::Now();
  return DayNumberFromDate({now.year, now.month, now.day}).value_or(kNoDate);
}

TDayNumber DayOf(const DbValue& value) {
  if (value.IsNull()) return kNoDate;
  const double day = std::floor(db::ValueAsDateTime(value).days) - kDay1920;
  if (day < 1 || day > 65535) return kNoDate;
  return TDayNumber{static_cast<uint16_t>(day)};
}

const char* const kNumberColumns[6] = {"freefloatcomvoto", "freefloatsemvoto", "freefloattodos",
                                       "totalcomvoto",     "totalsemvoto",     "totaltodos"};

double* NumberFields(TCompAcionariaRec& h, int i) {
  double* fields[6] = {&h.freefloatcomvoto, &h.freefloatsemvoto, &h.freefloattodos,
                       &h.totalcomvoto,     &h.totalsemvoto,     &h.totaltodos};
  return fields[i];
}

void SetHeaderParams(db::TDbCommand& ds, TCompAcionariaRec& header) {
  ds.SetInteger("@id", header.id);
  ds.SetInteger("@emp", header.emp);
  ds.SetDayNumber("@dtref", header.dtref);
  ds.SetDayNumber("@dtpub", header.dtpub);
  ds.SetBoolean("@inpct", header.inpct);
  for (int i = 0; i < 6; ++i) ds.SetFloat(std::string("@") + kNumberColumns[i], Stored(*NumberFields(header, i)));
  ds.SetDayNumber("@dtrtf", header.dtrtf);
}

// Header, then items, in one transaction: whole or not at all.
int WriteComposition(const char* procedure, TCompAcionariaRec& header, TCompAcionariaItems& items, bool isNew) {
  return GuardedCall(std::string("Db") + procedure, [&] {
    db::TTransactionGuard transaction(db::ZiDb());
    if (transaction.Code() != 0) return transaction.Code();
    int code = 0;
    int32_t id = header.id;
    {
      db::TDataSetHolder ds(db::ZiDb(), procedure);
      if (!ds) return ds.Failure(kCallFailed);
      SetHeaderParams(*ds, header);
      code = db::ZiDb().ExecStProc(*ds, 0);
      if (code == 0 && isNew) id = ds->ParamAsInteger("@id");
    }
    if (code == 0) code = items.Save(id, isNew);
    if (code != 0) return code;
    if (const int committed = transaction.Commit()) return committed;
    header.id = id;
    return 0;
  });
}

void ReadHeader(db::TDbCommand& ds, TCompAcionariaRec& h, bool fromParams) {
  auto value = [&](const char* name) -> DbValue {
    return fromParams ? ds.ParamValue(std::string("@") + name) : ds.Field(name);
  };
  h = TCompAcionariaRec{};
  h.id = db::ValueAsInteger(value("id"));
  h.emp = db::ValueAsInteger(value("emp"));
  h.dtref = DayOf(value("dtref"));
  h.dtpub = DayOf(value("dtpub"));
  h.dtrtf = DayOf(value("dtrtf"));
  h.inpct = !value("inpct").IsNull() && db::ValueAsBoolean(value("inpct"));
  for (int i = 0; i < 6; ++i) *NumberFields(h, i) = db::ValueAsFloat(value(kNumberColumns[i]));
}

}  // namespace

double& TCompAcionariaRec::Total(uint8_t vot) {
  return vot == kNonVoting ? totalsemvoto : vot == kVoting ? totalcomvoto : totaltodos;
}
double TCompAcionariaRec::Total(uint8_t vot) const { return const_cast<TCompAcionariaRec&>(*this).Total(vot); }
double& TCompAcionariaRec::FreeFloat(uint8_t vot) {
  return vot == kNonVoting ? freefloatsemvoto : vot == kVoting ? freefloatcomvoto : freefloattodos;
}
double TCompAcionariaRec::FreeFloat(uint8_t vot) const { return const_cast<TCompAcionariaRec&>(*this).FreeFloat(vot); }

int TCompAcionariaItems::Find(int32_t shareholder, uint8_t vot) const {
  for (int i = static_cast<int>(entries_.size()) - 1; i >= 0; --i) {
    const TCompAcionariaItem& e = entries_[static_cast<size_t>(i)];
    if (e.IdShareholder == shareholder && e.vot == vot) return i;
  }
  return -1;
}

void TCompAcionariaItems::Get(int32_t shareholder, uint8_t vot, double& value, bool& unconfirmed) const {
  const int at = Find(shareholder, vot);
  value = at < 0 ? 0 : entries_[static_cast<size_t>(at)].vlr;
  unconfirmed = at >= 0 && entries_[static_cast<size_t>(at)].unconfirmed;
}

void TCompAcionariaItems::Set(int32_t shareholder, uint8_t vot, bool add, double value) {
  int at = Find(shareholder, vot);
  if (IsMissing(value) || (value == 0 && !add)) {
    if (at >= 0) {
      entries_[static_cast<size_t>(at)] = entries_.back();
      entries_.pop_back();
    }
    return;
  }
  if (at < 0) {
    entries_.push_back({shareholder, vot, false, 0});
    at = static_cast<int>(entries_.size()) - 1;
  }
  TCompAcionariaItem& e = entries_[static_cast<size_t>(at)];
  if (add) {
    e.vlr += value;
  } else {
    e.vlr = value;
    e.unconfirmed = false;
  }
}

bool TCompAcionariaItems::Compact() {
  const size_t before = entries_.size();
  std::erase_if(entries_, [](const TCompAcionariaItem& e) { return !std::isfinite(e.vlr) || e.vlr == 0; });
  return entries_.size() != before;
}

void TCompAcionariaItems::MarkAll(bool unconfirmed) {
  for (TCompAcionariaItem& e : entries_) e.unconfirmed = unconfirmed;
}

bool TCompAcionariaItems::AnyUnconfirmed() const {
  return std::any_of(entries_.begin(), entries_.end(), [](const auto& e) { return e.unconfirmed; });
}

bool TCompAcionariaItems::HasConfirmedNumbers() const {
  return std::any_of(entries_.begin(), entries_.end(), [](const auto& e) { return !e.unconfirmed && e.vlr != 0; });
}

double TCompAcionariaItems::Sum(uint8_t vot) const {
  double sum = 0;
  for (const TCompAcionariaItem& e : entries_)
    if (!e.unconfirmed && e.vot == vot) sum += e.vlr;
  return sum;
}

double TCompAcionariaItems::ShareholderTotal(int32_t shareholder, bool preferSum) const {
  double values[kShareKinds] = {0, 0, 0};
  for (const TCompAcionariaItem& e : entries_) {
    if (e.IdShareholder == shareholder && !e.unconfirmed && e.vot < kShareKinds) values[e.vot] = e.vlr;
  }
  const bool parts = values[kVoting] != 0 || values[kNonVoting] != 0;
  if ((preferSum && parts) || values[kAllShares] == 0) return values[kVoting] + values[kNonVoting];
  return values[kAllShares];
}

std::vector<int32_t> TCompAcionariaItems::ShareholdersByTotal() const {
  std::vector<int32_t> order;
  for (const TCompAcionariaItem& e : entries_) {
    if (std::find(order.begin(), order.end(), e.IdShareholder) == order.end()) order.push_back(e.IdShareholder);
  }
  std::vector<std::pair<double, int32_t>> totals;
  totals.reserve(order.size());
  for (const int32_t id : order) totals.emplace_back(ShareholderTotal(id, false), id);
  std::stable_sort(totals.begin(), totals.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (size_t i = 0; i < totals.size(); ++i) order[i] = totals[i].second;
  return order;
}

int TCompAcionariaItems::Load(const TCompAcionariaRec& header) {
  entries_.clear();
  const int code = GuardedCall("CompAcionariaItems", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CompAcionariaItems");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", header.id);
    if (const int failed = db::ZiDb().ExecStProc(*ds, 2)) return failed;
    for (; !ds->Eof(); ds->Next()) {
      const int vot = db::ValueAsInteger(ds->FieldByIndex(2));
      // A kind outside 0..2 would index past the three kinds.
      if (vot < 0 || vot >= kShareKinds) return kCompositionItemKindInvalid;
      entries_.push_back({db::ValueAsInteger(ds->FieldByIndex(1)), static_cast<uint8_t>(vot), false,
                          db::ValueAsFloat(ds->FieldByIndex(3))});
    }
    return 0;
  });
  if (code != 0) {
    entries_.clear();
    return code;
  }
  const bool anyTotal =
      std::any_of(entries_.begin(), entries_.end(), [](const auto& e) { return e.vot == kAllShares; });
  if (!anyTotal && IsMissing(header.totalsemvoto) && IsMissing(header.totalcomvoto) && IsMissing(header.totaltodos)) {
    for (const int32_t id : ShareholdersByTotal()) {
      double total = 0;
      bool unconfirmed = false;
      Get(id, kAllShares, total, unconfirmed);
      if (total == 0) Set(id, kAllShares, false, ShareholderTotal(id, true));
    }
  }
  Compact();
  return 0;
}

int TCompAcionariaItems::Save(int32_t compositionId, bool isNew) {
  return GuardedCall("TCompAcionariaItems.Save", [&] {
    if (!isNew) {
      db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, "delete from CompAcionariaItem where idCompAcionaria = ?");
      if (!ds) return ds.Failure(kCallFailed);
      ds->SetSqlParams({int64_t{compositionId}});
      if (const int code = db::ZiDb().OpenSql(*ds)) return code;
    }
    Compact();
    std::vector<const TCompAcionariaItem*> confirmed;
    for (const TCompAcionariaItem& e : entries_)
      if (!e.unconfirmed) confirmed.push_back(&e);
    // The values travel as parameters, at full precision.
    for (size_t first = 0; first < confirmed.size(); first += kItemsPerInsert) {
      const size_t last = std::min(confirmed.size(), first + kItemsPerInsert);
      std::string sql = "insert into CompAcionariaItem (IdCompAcionaria, IdShareholder, vot, vlr) values";
      std::vector<DbValue> values;
      for (size_t i = first; i < last; ++i) {
        sql += i == first ? "\n(?,?,?,?)" : ",\n(?,?,?,?)";
        values.insert(values.end(), {DbValue(int64_t{compositionId}), DbValue(int64_t{confirmed[i]->IdShareholder}),
                                     DbValue(int64_t{confirmed[i]->vot}), DbValue(confirmed[i]->vlr)});
      }
      db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, sql);
      if (!ds) return ds.Failure(kCallFailed);
      ds->SetSqlParams(std::move(values));
      if (const int code = db::ZiDb().OpenSql(*ds)) return code;
    }
    return 0;
  });
}

std::string CompNumberText(double value) {
  if (!std::isfinite(value)) return "-";
  if (std::fabs(value) < 1e-28) return "0";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kSignificantDigits - 1);
  const std::string text(buffer, result.ptr);
  const size_t e = text.find('e');
  const bool negative = text[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < e; ++i)
    if (text[i] != '.') digits += text[i];
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
  std::string out = negative ? "-" : "";
  if (exponent < -6 || exponent > 10) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    return out + "E" + std::to_string(exponent);
  }
  if (exponent < 0) return out + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  const size_t whole = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= whole) return out + digits + std::string(whole - digits.size(), '0');
  return out + digits.substr(0, whole) + "." + digits.substr(whole);
}

int DbCompAcionariaAdd(TCompAcionariaRec& header, TCompAcionariaItems& items) {
  return WriteComposition("CompAcionariaAdd", header, items, true);
}

int DbCompAcionariaPut(TCompAcionariaRec& header, TCompAcionariaItems& items) {
  const TDayNumber before = header.dtrtf;
  header.dtrtf = Today();
  const int code = WriteComposition("CompAcionariaPut", header, items, false);
  if (code != 0) header.dtrtf = before;
  return code;
}

int DbCompAcionariaDel(int32_t id) {
  return GuardedCall("DbCompAcionariaDel", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CompAcionariaDel");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", id);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbCompAcionariaGetPelaEmpData(int32_t emp, TDayNumber dtref, TCompAcionariaRec& header) {
  return GuardedCall("DbCompAcionariaGetPelaEmpData", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CompAcionariaGetPelaEmpData");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@emp", emp);
    ds->SetDayNumber("@dtref", dtref);
    if (const int code = db::ZiDb().ExecStProc(*ds, 0)) return code;
    ReadHeader(*ds, header, true);
    return 0;
  });
}

int DbCompAcionariaDaEmp(int32_t emp, std::vector<TCompAcionariaRec>& headers) {
  headers.clear();
  const int code = GuardedCall("DbCompAcionariaDaEmp", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "CompAcionariaDaEmp");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", emp);
    if (const int failed = db::ZiDb().ExecStProc(*ds, 2)) return failed;
    for (; !ds->Eof(); ds->Next()) ReadHeader(*ds, headers.emplace_back(), false);
    return 0;
  });
  if (code != 0) headers.clear();
  return code;
}

int DbCacAddOuPut(TCompAcionariaRec& header, TCompAcionariaItems& items) {
  int code = 0;
  try {
    TCompAcionariaRec found;
    code = DbCompAcionariaGetPelaEmpData(header.emp, header.dtref, found);
    if (code == 0) {
      header.id = found.id;
      code = DbCompAcionariaPut(header, items);
    } else if (code == kCompositionNotFound) {
      code = DbCompAcionariaAdd(header, items);
    }
  } catch (const std::exception& e) {
    if (code == 0) code = kCompositionWriteRaised;
    Loga("DbCacAddOuPut error:" + std::to_string(code) + " exception: " + typeid(e).name() + " " + e.what());
  }
  return code;
}

}  // namespace zi
