// The share base's loading and saving through the server, and the consistency report.
#include "catalogue/share_base.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "catalogue/catalogue.h"
#include "catalogue/call_support.h"
#include "db/connection.h"
#include "db/multi_result.h"
#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"

namespace zi {

namespace {

constexpr int kMaxReportedBases = 3;
constexpr uint8_t kLoadedAsDerived = 4;
constexpr uint8_t kLoadedEmpty = 10;
constexpr int kLastSource = 7;

constexpr std::array<const char*, kBacSlots> kValueParams = {"@Total", "@EmTesouraria", "@ExTesouraria"};
constexpr std::array<const char*, kBacSlots> kStatusParams = {"@StatTot", "@StatEm", "@StatEx"};
constexpr std::array<const char*, kBacSlots> kValueColumns = {"Total", "EmTesouraria", "ExTesouraria"};
constexpr std::array<const char*, kBacSlots> kStatusColumns = {"StatTot", "StatEm", "StatEx"};

TBacSlot LoadedSlot(double number, int status) {
  if (status == kLoadedEmpty) return {};
  const uint8_t kept = static_cast<uint8_t>(std::clamp(status, 0, 255));
  return {number, kept == kLoadedAsDerived ? uint8_t{5} : kept, false};
}

// A parent's number is shown even in conflict: the conflict is what the report is about.
bool Shown(const TBacSlot& slot) { return IsHoldingStatus(slot.status) && std::isfinite(slot.number); }

std::string ClassName(int idClass) { return ShownText(Listas().EnumClasses.TextoDoId(idClass, true)); }

int PutBaseAcionaria(const TBaseAcionaria& base, const TUmaClasseNaBac& node, bool delOutrasClasses) {
  db::TDataSetHolder ds(db::ZiDb(), "PutBaseAcionaria");
  if (!ds) return ds.Failure(kCallFailed);
  ds->SetInteger("@IdEmp", base.Emp());
  ds->SetDayNumber("@Data", base.Date());
  ds->SetInteger("@Source", base.Source());
  ds->SetInteger("@IdClass", node.IdClass());
  for (int i = 0; i < kBacSlots; ++i) {
    const TBacSlot& slot = node.Slot(i);
    // Mended: a number that is not finite goes as NULL with status 0, never as a count of 0.
    const bool finite = std::isfinite(slot.number);
    ds->SetFloat(kValueParams[static_cast<size_t>(i)], finite ? slot.number : kMissing);
    ds->SetInteger(kStatusParams[static_cast<size_t>(i)], finite ? slot.status : 0);
  }
  ds->SetBoolean("@DelOutrasClasses", delOutrasClasses);
  ds->SetBoolean("@MigracaoNaoMandaLog", false);
  return db::ZiDb().ExecStProc(*ds, 0);
}

int DelBaseAcionaria(const TBaseAcionaria& base) {
  db::TDataSetHolder ds(db::ZiDb(), "DelBaseAcionaria");
  if (!ds) return ds.Failure(kCallFailed);
  ds->SetInteger("@IdEmp", base.Emp());
  ds->SetDayNumber("@Data", base.Date());
  ds->SetInteger("@Source", base.Source());
  return db::ZiDb().ExecStProc(*ds, 0);
}

}  // namespace

const std::vector<tObjAtv>& TListaBaseAcionaria::Classes() {
  if (!classesRead_) {
    std::vector<tObjAtv> rows;
    if (GetClassesDaEmp(emp_, rows) == 0) {
      // A class comes once per series.
      for (const tObjAtv& atv : rows) {
        if (std::none_of(classes_.begin(), classes_.end(), [&](const tObjAtv& c) { return c.id == atv.id; }))
          classes_.push_back(atv);
      }
      classesRead_ = true;
    }
  }
  return classes_;
}

int TListaBaseAcionaria::Load(TDayNumber onlyDate) {
  bases_.clear();
  const int code = GuardedCall("TListaBaseAcionaria.Load", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "GetBaseAcDaEmp");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@IdEmp", emp_);
    ds->SetInteger("@Source", source_);
    ds->SetDayNumber("@Data", onlyDate);
    int rowCode = 0;
    TBaseAcionaria* current = nullptr;
    const int code = db::ExecMultiResult(db::ZiDb(), *ds, [&](db::TDbCommand& row) {
      if (rowCode != 0) return;
      if (row.FieldAsInteger("IdEmp") != emp_) {
        rowCode = kBacRowOfAnotherCompany;
        return;
      }
      const TDayNumber date = DayNumberOfValue(row.Field("Data"));
      const int source = row.FieldAsInteger("Source");
      if (!current || current->Date() != date || current->Source() != source) {
        current = bases_.emplace_back(std::make_unique<TBaseAcionaria>(emp_, date, source, Classes())).get();
      }
      TUmaClasseNaBac* node = current->Node(row.FieldAsInteger("IdClass"), true);
      for (int i = 0; i < kBacSlots; ++i) {
        node->Slot(i) = LoadedSlot(row.FieldAsFloat(kValueColumns[static_cast<size_t>(i)]),
                                   row.FieldAsInteger(kStatusColumns[static_cast<size_t>(i)]));
      }
    });
    return code != 0 ? code : rowCode;
  });
  if (code != 0) {
    bases_.clear();
    return code;
  }
  for (const auto& base : bases_) base->KeepAsLoaded();
  return 0;
}

TBaseAcionaria* TListaBaseAcionaria::Find(TDayNumber date, bool create) {
  for (auto it = bases_.rbegin(); it != bases_.rend(); ++it)
    if ((*it)->Date() == date) return it->get();
  if (!create) return nullptr;
  TBaseAcionaria* made = bases_.emplace_back(std::make_unique<TBaseAcionaria>(emp_, date, source_, Classes())).get();
  std::stable_sort(bases_.begin(), bases_.end(), [](const auto& a, const auto& b) { return a->Date() < b->Date(); });
  return made;
}

void TListaBaseAcionaria::DeriveAll() {
  for (const auto& base : bases_) base->Derive();
}

bool TListaBaseAcionaria::Changed() const {
  return std::any_of(bases_.begin(), bases_.end(), [](const auto& base) { return base->Changed(); });
}

int TListaBaseAcionaria::SaveOne(TBaseAcionaria& base) {
  if (!base.Changed()) return 0;
  bool written = false;
  for (const TUmaClasseNaBac* node : base.Nodes()) {
    if (!TBaseAcionaria::Written(*node)) continue;
    const int code = PutBaseAcionaria(base, *node, !written);
    if (code != 0) {
      Loga("T1CnB.SDb Erro: " + std::to_string(code) + " empresa " + std::to_string(emp_) + " " +
           FormatIsoDate(base.Date()) + " Src:" + std::to_string(base.Source()) + " classe " +
           std::to_string(node->IdClass()) + "/" + ClassName(node->IdClass()) + " " + BacSlotDump(node->Slots()));
      return code;
    }
    written = true;
  }
  return written ? 0 : DelBaseAcionaria(base);
}

// Mended: the share bases are written in one transaction. The first put of a share base drops the
// rows of the classes it does not write, so a failure half way would have lost them.
int TListaBaseAcionaria::Save() {
  const int code = GuardedCall("TListaBaseAcionaria.Save", [&] {
    db::TTransactionGuard transaction(db::ZiDb());
    if (transaction.Code() != 0) return transaction.Code();
    for (const auto& base : bases_) {
      if (const int failed = SaveOne(*base)) {
        (void)transaction.Rollback();
        return failed;
      }
    }
    return transaction.Commit();
  });
  if (code == 0) {
    for (const auto& base : bases_) base->KeepAsLoaded();
  }
  return code;
}

std::string TListaBaseAcionaria::ConsistencyReport() {
  std::string report;
  int reported = 0;
  for (const auto& base : bases_) {
    const TUmaClasseNaBac* node = base->FirstParentNotMatchingChildren();
    if (!node) continue;
    if (reported == 0) {
      tObjEmp emp;
      DbObjEmpGet(emp_, emp);
      report += emp.nome + " - " + ShownText(Listas().EnumPais.TextoDoId(emp.pais, true)) + "\r\n";
    }
    const TBacSlot& issued = node->Slot(kIssued);
    const double children = TBaseAcionaria::ChildrenIssued(*node);
    report += "[emp:" + std::to_string(emp_) + " " + FormatIsoDate(base->Date()) + " src:" +
              std::to_string(base->Source()) + "] classe:" + std::to_string(node->IdClass()) + "/" +
              ClassName(node->IdClass()) + " " + BacSlotLabel(kIssued, 1) +
              " Pai:" + (Shown(issued) ? BacNumber(issued.number) : "-") +
              " Filhos:" + (IsMissing(children) ? "-" : BacNumber(children)) + "\r\n";
    if (++reported == kMaxReportedBases) break;
  }
  return report;
}

}  // namespace zi
