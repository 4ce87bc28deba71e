#include "marketdata/bulletin_collector.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "catalogue/objects.h"
#include "session/bulletin.h"
#include "session/reference_data.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"

namespace zi {

namespace {

// A new entry still goes in while the list holds this many; a fuller list makes room first.
constexpr size_t kRoomyList = 100;
// An entry with more quotes than this is never pushed out by a newer date.
constexpr int kMaxEvictableCount = 99;
constexpr int kMaxByCount = 5;
constexpr int kAlwaysABulletin = 1000;
constexpr int kNeverForced = 5;
constexpr int kBolCotV2 = 42;
constexpr int kMostUrgent = 1;
constexpr const char* kDumpCaller = "TMakeUpBolCot.MeDaListaComOsBolCot";
constexpr const char* kNotRegistered = " (check only: not registered)";
constexpr const char* kDryRunNotRegistered = " (dry run: not registered)";

const char* YN(bool value) { return value ? "Y" : "N"; }

// 60 % of the active series, rounded to the nearest integer (with integers, no half ever occurs).
int ShareOfActive(int active) { return (6 * active + 5) / 10; }

bool NewerThan(const TBolCot& entry, TDayNumber date) { return entry.date > date; }

}  // namespace

TMakeUpBolCot::TMakeUpBolCot()
    : activeSeries_([](int exchange, int type) -> std::optional<int> {
        int num = 0;
        if (GetTotalAnbAtivosDessaBolsaTBGL(exchange, type, num) != 0) return std::nullopt;
        return num;
      }) {}

TBolCot* TMakeUpBolCot::Find(int exchange, int type, TDayNumber date) {
  auto it = std::partition_point(entries_.begin(), entries_.end(), [&](const TBolCot& e) { return NewerThan(e, date); });
  for (; it != entries_.end() && it->date == date; ++it) {
    if (it->exchange == exchange && it->type == type) return &*it;
  }
  return nullptr;
}

TBolCot& TMakeUpBolCot::Insert(int exchange, int type, TDayNumber date) {
  const auto at =
      std::partition_point(entries_.begin(), entries_.end(), [&](const TBolCot& e) { return e.date >= date; });
  return *entries_.insert(at, TBolCot{.exchange = exchange, .date = date, .type = type});
}

std::vector<TBolCot>::iterator TMakeUpBolCot::Evictable(TDayNumber date) {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (!it->forced && it->date < date && it->count <= kMaxEvictableCount) return std::next(it).base();
  }
  return entries_.end();
}

void TMakeUpBolCot::CountQuote(int exchange, int type, TDayNumber date) {
  if (finalised_) throw EZorInputException(kCountAfterFinal);
  TBolCot* entry = Find(exchange, type, date);
  if (!entry) {
    if (entries_.size() > kRoomyList) {
      const auto evicted = Evictable(date);
      if (evicted == entries_.end()) return;
      entries_.erase(evicted);
    }
    entry = &Insert(exchange, type, date);
  }
  ++entry->count;
}

void TMakeUpBolCot::ForceBulletin(int exchange, int type, TDayNumber date) {
  if (finalised_) throw EZorInputException(kForceAfterFinal);
  if (type == kNeverForced) return;
  TBolCot* entry = Find(exchange, type, date);
  if (!entry) entry = &Insert(exchange, type, date);
  entry->forced = true;
}

std::optional<int> TMakeUpBolCot::ActiveSeriesOf(int exchange, int type) {
  const auto key = std::make_pair(exchange, type);
  if (const auto known = active_.find(key); known != active_.end()) return known->second;
  return active_[key] = activeSeries_(exchange, type);
}

void TMakeUpBolCot::Finalise() {
  int selected = 0;
  for (TBolCot& entry : entries_) {
    entry.dueToCount = false;
    if (entry.forced || selected >= kMaxByCount) continue;
    bool byCount = entry.count > kAlwaysABulletin;
    if (!byCount) {
      const std::optional<int> active = ActiveSeriesOf(entry.exchange, entry.type);
      byCount = active && entry.count >= ShareOfActive(*active);
    }
    if (!byCount) continue;
    entry.dueToCount = true;
    ++selected;
  }
  for (const TBolCot& entry : entries_)
    if (entry.forced || entry.dueToCount) bulletins_.push_back(entry);
  finalised_ = true;
}

bool TMakeUpBolCot::IsBulletin(int exchange, int type, TDayNumber date) {
  if (!finalised_) Finalise();
  return std::any_of(bulletins_.begin(), bulletins_.end(), [&](const TBolCot& b) {
    return b.date == date && b.exchange == exchange && b.type == type;
  });
}

void TMakeUpBolCot::Dump(const std::string& caller) const {
  Loga(std::string("Dump MakeUpBolCot Finalizado:") + YN(finalised_) + " " + caller);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const TBolCot& e = entries_[i];
    Loga("- #" + std::to_string(i) + " " + FormatIsoDate(e.date) + " bolsa:" + std::to_string(e.exchange) +
         " TBGL:" + LetraDoStatus(e.type) + " cots:" + std::to_string(e.count) + " forced:" + YN(e.forced) +
         " EhDevidoAoCountCot:" + YN(e.dueToCount));
  }
}

std::vector<TBolCot> TMakeUpBolCot::Bulletins() {
  if (!finalised_) Finalise();
  Dump(kDumpCaller);
  return bulletins_;
}

// Mended: a check-only run imported nothing, so it registers no bulletin and asks for none; nor
// does a dry run, whose prices are rolled back.
int TMakeUpBolCot::EndOfRun(tImpRoot& run) {
  const bool registers = run.CIorCO() && !run.DryRun();
  for (const TBolCot& b : Bulletins()) {
    // A bulletin is a whole day: its moment is the day's midnight.
    const TDateTime day{b.date.value + kDay1920};
    std::string line = "- BolCot: " + FormatStampDateTime(CalendarFromDateTime(day)) +
                       " xchg:" + std::to_string(b.exchange) + " TBGL:" + LetraDoStatus(b.type);
    if (b.count > 0) line += " #:" + std::to_string(b.count);
    if (b.forced) line += " Forced";
    if (!registers) {
      Loga(line + (run.DryRun() ? kDryRunNotRegistered : kNotRegistered));
      continue;
    }
    Loga(line);
    const int code = DataLogAdd(kBolCotV2, b.exchange, b.type, day, "");
    if (code != 0) return code;
  }
  if (registers) PedeBoletim(kMostUrgent);
  return 0;
}

}  // namespace zi
