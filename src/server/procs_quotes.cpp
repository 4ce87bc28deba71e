#include "server/procedures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// What the quote procedures answer besides 0 (the shared codes of proc_checks.h keep their
// meanings here). Every logged-in user may read and write quotes: no right of the user guards them.
// - 18456 without a logged-in user, or when the user's row is gone;
// - 3757 (the message table's "CotacaoImport ticker not found") CotacaoImportV4 and
//   CotacaoImportDelRange for a ticker that no series of the exchange has;
// - 4390 CotacaoImportV4 when its condition does not hold: nothing is written;
// - 99101 NULL where a value is required: ticker, exchange, dates, series id;
// - 99102 a date without a day number (before 1920-01-02 or after 2099-06-05), a condition's
//   operator outside 0..11, or its position outside 1..27 for an operator that reads a position;
// - 99104 the series named by id does not exist; CotacaoDaAnbMinDate also for a series without
//   quotes.
// A quote is stored per series and day number; its 27 values are NULL where there is no value.
// Writes are logged in the data log for the bulletin generator: CotAdd (10) for a new day, CotUpd
// (11) for a day whose values changed, CotDel (12) for each day deleted, with the series as the
// object, its exchange as the auxiliary id and the day as the date. CotacaoImportV4 logs nothing
// when @NaoLogar is set (the day goes out with a whole bulletin), and no procedure logs a day
// that did not change.
// CotacaoImportV4 writes the day's 27 values but where @keepvlrN keeps the stored value of
// position N, and, with @NoOverwrite, every stored value (only positions without one are filled).
// Its condition compares the stored value S at position @IfValorTermo1 with @IfTermo2 (T) by
// @IfOperador: 0 none; 1 "###" always holds; 2..5 "=*", "<>*", "<*", ">*" hold when S is missing
// or the comparison of S with T holds; 6 "**" when S is missing; 7 "!!" when S is present; 8..11
// "=", "<>", "<", ">" when S and T are present and the comparison holds. Values are equal when they
// differ by less than 1e-8 of the larger; a day without a stored quote has every S missing.

constexpr int kTickerNotFound = 3757;
constexpr int kConditionNotMet = 4390;

constexpr int kValues = 27;
constexpr int64_t kCotAdd = 10;
constexpr int64_t kCotUpd = 11;
constexpr int64_t kCotDel = 12;
constexpr int64_t kFirstDay = 1;
constexpr int64_t kLastDay = 65535;
constexpr double kDay1920 = 7306;

enum Operator : int64_t {
  kNone = 0,
  kAlways = 1,
  kEqualOrMissing = 2,
  kDifferentOrMissing = 3,
  kLessOrMissing = 4,
  kGreaterOrMissing = 5,
  kMissing_ = 6,
  kPresent = 7,
  kEqual = 8,
  kDifferent = 9,
  kLess = 10,
  kGreater = 11,
};

using Values = std::array<DbValue, kValues>;

// CotacaoImportV4's parameters, in the order of its declaration: what its handler reads by position.
constexpr size_t kTicker = 0;
constexpr size_t kBolsa = 1;
constexpr size_t kDate = 2;
constexpr size_t kFirstValue = 3;
constexpr size_t kFirstKeep = kFirstValue + kValues;
constexpr size_t kNoOverwrite = kFirstKeep + kValues;
constexpr size_t kNaoLogar = kNoOverwrite + 1;
constexpr size_t kIfOperador = kNaoLogar + 1;
constexpr size_t kIfValorTermo1 = kIfOperador + 1;
constexpr size_t kIfTermo2 = kIfValorTermo1 + 1;

std::string ValueColumns() {
  std::string columns;
  for (int i = 1; i <= kValues; ++i) columns += ", v" + std::to_string(i);
  return columns;
}

const SqlText& InsertSql() {
  static const SqlText sql([] {
    std::string placeholders;
    for (int i = 0; i < kValues; ++i) placeholders += ", ?";
    return "INSERT INTO Cotacao (anb, dia" + ValueColumns() + ") VALUES (?, ?" + placeholders +
           ") ON CONFLICT (anb, dia) DO NOTHING";
  }());
  return sql;
}

const SqlText& UpdateSql() {
  static const SqlText sql([] {
    std::string sets;
    for (int i = 1; i <= kValues; ++i) sets += (i == 1 ? "v" : ", v") + std::to_string(i) + " = ?";
    return "UPDATE Cotacao SET " + sets + " WHERE anb = ? AND dia = ?";
  }());
  return sql;
}

const SqlText& SelectSql() {
  static const SqlText sql("SELECT" + ValueColumns().substr(1) + " FROM Cotacao WHERE anb = ? AND dia = ?");
  return sql;
}

// The day number of a date-time; nullopt outside the days a number reaches.
std::optional<int64_t> DayOf(const DbValue& date) {
  const double day = std::floor(date.AsDateTime().days) - kDay1920;
  if (day < kFirstDay || day > kLastDay) return std::nullopt;
  return static_cast<int64_t>(day);
}

// The day number of a bound of a range, which may lie outside the days a number reaches.
int64_t DayBound(const DbValue& date, int64_t missing) {
  if (date.IsNull()) return missing;
  return static_cast<int64_t>(std::clamp(std::floor(date.AsDateTime().days) - kDay1920, -1e9, 1e9));
}

TDateTime DateOfDay(int64_t day) { return TDateTime{static_cast<double>(day) + kDay1920}; }

int DayParam(const DbValue& date, int64_t& day) {
  if (date.IsNull()) return kValueMissing;
  const std::optional<int64_t> found = DayOf(date);
  if (!found) return kOutOfRange;
  day = *found;
  return 0;
}

struct TSeries {
  int64_t id = 0;
  int64_t bolsa = 0;
};

// The series of a ticker on an exchange, whatever the ticker's case and blanks around it.
std::optional<TSeries> SeriesOf(ProcContext& call, const DbValue& ticker, const DbValue& bolsa) {
  static const SqlText sql("SELECT id FROM anbima WHERE bolsa = ? AND cod = ? COLLATE NOCASE");
  SeriesIdCache& known = call.Series();
  SeriesIdCache::Answer id;
  if (const SeriesIdCache::Answer* kept = known.Find(call.Db(), bolsa.AsInteger(), ticker.AsText())) {
    id = *kept;
  } else {
    const DbValue found = call.Db().QueryValue(sql, std::array<DbValue, 2>{bolsa, Trim(ticker.AsText())});
    if (!found.IsNull()) id = found.AsInteger();
    known.Keep(bolsa.AsInteger(), ticker.AsText(), id);
  }
  if (!id) return std::nullopt;
  return TSeries{*id, bolsa.AsInteger()};
}

std::optional<TSeries> SeriesById(ProcContext& call, const DbValue& id) {
  static const SqlText sql("SELECT bolsa FROM anbima WHERE id = ?");
  const DbValue bolsa = call.Db().QueryValue(sql, std::span(&id, 1));
  if (bolsa.IsNull()) return std::nullopt;
  return TSeries{id.AsInteger(), bolsa.AsInteger()};
}

double NumberOf(const DbValue& value) { return value.IsNull() ? kMissing : value.AsFloat(); }

std::optional<Values> StoredDay(ProcContext& call, int64_t anb, int64_t day) {
  Statement read = call.Db().Prepare(SelectSql());
  read.BindAll(std::array<DbValue, 2>{anb, day});
  if (!read.Step()) return std::nullopt;
  Values stored;
  for (int i = 0; i < kValues; ++i) stored[static_cast<size_t>(i)] = read.RealColumn(i);
  return stored;
}

// Whether the day is stored with these values; valueAt(i) gives the value at position i.
template <typename ValueAt>
bool StoredDayIs(ProcContext& call, int64_t anb, int64_t day, ValueAt valueAt) {
  Statement read = call.Db().Prepare(SelectSql());
  read.BindAll(std::array<DbValue, 2>{anb, day});
  if (!read.Step()) return false;
  for (int i = 0; i < kValues; ++i) {
    if (!SameValue(NumberOf(read.RealColumn(i)), NumberOf(valueAt(static_cast<size_t>(i))))) return false;
  }
  return true;
}

// Adds the day unless it is stored; valueAt(i) gives its value at position i, wherever it is kept.
template <typename ValueAt>
bool Inserted(ProcContext& call, int64_t anb, int64_t day, ValueAt valueAt) {
  Statement insert = call.Db().Prepare(InsertSql());
  const std::array<DbValue, 2> key{anb, day};
  insert.BindEach(kValues + 2, [&](size_t i) -> const DbValue& { return i < 2 ? key[i] : valueAt(i - 2); });
  return call.Db().Run(std::move(insert)) == 1;
}

bool Inserted(ProcContext& call, int64_t anb, int64_t day, const Values& values) {
  return Inserted(call, anb, day, [&](size_t i) -> const DbValue& { return values[i]; });
}

void Update(ProcContext& call, int64_t anb, int64_t day, const Values& values) {
  std::array<DbValue, kValues + 2> params;
  std::copy(values.begin(), values.end(), params.begin());
  params[kValues] = anb;
  params[kValues + 1] = day;
  call.Db().Run(UpdateSql(), params);
}

void LogDay(ProcContext& call, int64_t type, const TSeries& series, int64_t day) {
  call.DeferDataLog({type, series.id, series.bolsa, DateOfDay(day), call.SessionUserId(), call.Now()});
}

bool SameDay(const Values& a, const Values& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameValue(NumberOf(a[i]), NumberOf(b[i]))) return false;
  }
  return true;
}

// Writes a day: a new one, or the stored one changed; logs the write unless told not to.
void PutDay(ProcContext& call, const TSeries& series, int64_t day, const std::optional<Values>& stored,
            const Values& values, bool log) {
  if (stored) {
    if (SameDay(*stored, values)) return;
    Update(call, series.id, day, values);
  } else {
    Inserted(call, series.id, day, values);
  }
  if (log) LogDay(call, stored ? kCotUpd : kCotAdd, series, day);
}

bool Compare(int64_t op, double s, double t) {
  switch (op) {
    case kEqualOrMissing:
    case kEqual: return SameValue(s, t);
    case kDifferentOrMissing:
    case kDifferent: return !SameValue(s, t);
    case kLessOrMissing:
    case kLess: return s < t && !SameValue(s, t);
    default: return s > t && !SameValue(s, t);
  }
}

bool ConditionHolds(int64_t op, double stored, double term) {
  const bool missing = IsMissing(stored);
  switch (op) {
    case kNone:
    case kAlways: return true;
    case kMissing_: return missing;
    case kPresent: return !missing;
    case kEqualOrMissing:
    case kDifferentOrMissing:
    case kLessOrMissing:
    case kGreaterOrMissing: return missing || (!IsMissing(term) && Compare(op, stored, term));
    default: return !missing && !IsMissing(term) && Compare(op, stored, term);
  }
}

bool ReadsAPosition(int64_t op) { return op >= kEqualOrMissing; }

struct TCondition {
  int64_t op = kNone;
  size_t position = 0;  // 0-based
  double term = kMissing;
};

int ConditionParams(ProcContext& call, TCondition& condition) {
  const DbValue& op = call.InAt(kIfOperador);
  condition.op = op.IsNull() ? kNone : op.AsInteger();
  if (condition.op < kNone || condition.op > kGreater) return kOutOfRange;
  if (ReadsAPosition(condition.op)) {
    const DbValue& position = call.InAt(kIfValorTermo1);
    if (position.IsNull()) return kValueMissing;
    if (position.AsInteger() < 1 || position.AsInteger() > kValues) return kOutOfRange;
    condition.position = static_cast<size_t>(position.AsInteger() - 1);
  }
  condition.term = NumberOf(call.InAt(kIfTermo2));
  return 0;
}

bool Flag(const DbValue& value) { return !value.IsNull() && value.AsBoolean(); }

int CotacaoImportV4(ProcContext& call) {
  int64_t day = 0;
  TCondition condition;
  const DbValue& ticker = call.InAt(kTicker);
  if (const int code = FirstFailure({RequireUser(call), ticker.IsNull() || Trim(ticker.AsText()).empty() ? kValueMissing : 0,
                                     call.InAt(kBolsa).IsNull() ? kValueMissing : 0,
                                     DayParam(call.InAt(kDate), day), ConditionParams(call, condition)})) {
    return code;
  }
  const std::optional<TSeries> series = SeriesOf(call, call.InAt(kTicker), call.InAt(kBolsa));
  if (!series) return kTickerNotFound;
  const bool noOverwrite = Flag(call.InAt(kNoOverwrite));
  const bool log = !Flag(call.InAt(kNaoLogar));
  bool keepsAny = false;
  for (size_t i = 0; i < kValues; ++i) keepsAny = keepsAny || Flag(call.InAt(kFirstKeep + i));
  // A day whose new values do not depend on the stored ones is most often new: it is simply added,
  // its values bound where the call holds them.
  const bool dependsOnStored = keepsAny || noOverwrite || condition.op != kNone;
  if (!dependsOnStored) {
    if (Inserted(call, series->id, day, [&](size_t i) -> const DbValue& { return call.InAt(kFirstValue + i); })) {
      if (log) LogDay(call, kCotAdd, *series, day);
      return 0;
    }
    // A file imported again finds its days stored as they are: nothing to write, nothing to log.
    if (StoredDayIs(call, series->id, day, [&](size_t i) -> const DbValue& { return call.InAt(kFirstValue + i); }))
      return 0;
  }
  Values values;
  for (size_t i = 0; i < kValues; ++i) values[i] = call.InAt(kFirstValue + i);
  const std::optional<Values> stored = StoredDay(call, series->id, day);
  const double storedTerm = stored ? NumberOf((*stored)[condition.position]) : kMissing;
  if (!ConditionHolds(condition.op, storedTerm, condition.term)) return kConditionNotMet;
  if (stored) {
    for (size_t i = 0; i < kValues; ++i) {
      const bool keep = Flag(call.InAt(kFirstKeep + i)) || (noOverwrite && !(*stored)[i].IsNull());
      if (keep) values[i] = (*stored)[i];
    }
  } else {
    for (size_t i = 0; i < kValues; ++i)
      if (Flag(call.InAt(kFirstKeep + i))) values[i] = DbValue();
  }
  PutDay(call, *series, day, stored, values, log);
  return 0;
}

int CotacaoImportDelRange(ProcContext& call) {
  int64_t from = 0;
  int64_t to = 0;
  if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@ticker"),
                                     call.IsNull("@bolsa") ? kValueMissing : 0,
                                     DayParam(call.In("@datefrom"), from), DayParam(call.In("@dateto"), to)})) {
    return code;
  }
  const std::optional<TSeries> series = SeriesOf(call, call.In("@ticker"), call.In("@bolsa"));
  if (!series) return kTickerNotFound;
  const ResultSet days =
      call.Db().Query("SELECT dia FROM Cotacao WHERE anb = ? AND dia BETWEEN ? AND ? ORDER BY dia", {series->id, from, to});
  call.Db().Run("DELETE FROM Cotacao WHERE anb = ? AND dia BETWEEN ? AND ?", {series->id, from, to});
  for (const auto& row : days.rows) LogDay(call, kCotDel, *series, row[0].AsInteger());
  return 0;
}

int CotacaoPutV4(ProcContext& call) {
  int64_t day = 0;
  if (const int code = FirstFailure(
          {RequireUser(call), call.IsNull("@anb") ? kValueMissing : 0, DayParam(call.In("@date"), day)})) {
    return code;
  }
  const std::optional<TSeries> series = SeriesById(call, call.In("@anb"));
  if (!series) return kNotFound;
  Values values;
  for (size_t i = 0; i < kValues; ++i) values[i] = call.In("@valor" + std::to_string(i + 1));
  PutDay(call, *series, day, StoredDay(call, series->id, day), values, !Flag(call.In("@NaoLogar")));
  return 0;
}

// The first column names the series; the date follows, then the values.
int CotacaoDaAnbV2(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@anb") ? kValueMissing : 0})) return code;
  if (!SeriesById(call, call.In("@anb"))) return kNotFound;
  const int64_t from = DayBound(call.In("@min"), kFirstDay);
  const int64_t to = DayBound(call.In("@max"), kLastDay);
  std::string columns;
  for (int i = 1; i <= kValues; ++i) columns += ", v" + std::to_string(i) + " AS valor" + std::to_string(i);
  call.AddResultSet("SELECT anb, dia + 7306 AS data" + columns +
                        " FROM Cotacao WHERE anb = ? AND dia BETWEEN ? AND ? ORDER BY dia",
                    {call.In("@anb"), from, to});
  return 0;
}

int CotacaoDaAnbMinDate(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@anb") ? kValueMissing : 0})) return code;
  const DbValue first = call.Db().QueryValue("SELECT min(dia) FROM Cotacao WHERE anb = ?", {call.In("@anb")});
  if (first.IsNull()) return kNotFound;
  call.SetOut("@date", DateOfDay(first.AsInteger()));
  return 0;
}

ParamInfo In(const std::string& name, DbType type) { return {name, type, ParamDirection::Input}; }

constexpr DbType kInt = DbType::Integer;
constexpr DbType kText = DbType::Text;
constexpr DbType kFloat = DbType::Float;
constexpr DbType kBool = DbType::Boolean;
constexpr DbType kDateTime = DbType::DateTime;

std::vector<ParamInfo> ValueParams(const char* prefix, DbType type) {
  std::vector<ParamInfo> params;
  for (int i = 1; i <= kValues; ++i) params.push_back(In(prefix + std::to_string(i), type));
  return params;
}

std::vector<ParamInfo> CotacaoImportV4Params() {
  std::vector<ParamInfo> params{In("@ticker", kText), In("@bolsa", kInt), In("@date", kDateTime)};
  for (const auto& p : ValueParams("@valor", kFloat)) params.push_back(p);
  for (const auto& p : ValueParams("@keepvlr", kBool)) params.push_back(p);
  for (const ParamInfo& p : {In("@NoOverwrite", kBool), In("@NaoLogar", kBool), In("@IfOperador", kInt),
                             In("@IfValorTermo1", kInt), In("@IfTermo2", kFloat)}) {
    params.push_back(p);
  }
  return params;
}

}  // namespace

void RegisterQuoteProcedures(Registry& registry) {
  // It writes the day with one statement (an insert, else an update) and holds its data-log row back.
  registry.Add({"CotacaoImportV4", ProcAccess::Writes, CotacaoImportV4Params(), CotacaoImportV4, true});
  registry.Add({"CotacaoImportDelRange",
                ProcAccess::Writes,
                {In("@ticker", kText), In("@bolsa", kInt), In("@datefrom", kDateTime), In("@dateto", kDateTime)},
                CotacaoImportDelRange});
  std::vector<ParamInfo> put{In("@anb", kInt), In("@date", kDateTime)};
  for (const auto& p : ValueParams("@valor", kFloat)) put.push_back(p);
  put.push_back(In("@NaoLogar", kBool));
  registry.Add({"CotacaoPutV4", ProcAccess::Writes, put, CotacaoPutV4});
  registry.Add({"CotacaoDaAnbV2",
                ProcAccess::Reads,
                {In("@anb", kInt), In("@min", kDateTime), In("@max", kDateTime)},
                CotacaoDaAnbV2});
  registry.Add({"CotacaoDaAnbMinDate",
                ProcAccess::Reads,
                {In("@anb", kInt), {"@date", kDateTime, ParamDirection::Output}},
                CotacaoDaAnbMinDate});
}

}  // namespace zi::server
