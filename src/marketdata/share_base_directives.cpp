#include "marketdata/share_base_directives.h"

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/share_base.h"
#include "import/company_key.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kFirstGroupToken = 5;
constexpr int kGroupTokens = 3;
constexpr int kLastSource = 7;

constexpr const char* kInvalidSource = "Invalid <source>";

// One group of a line: a class and the slots it fills.
struct TSharesGroup {
  int idClass = 0;
  TBacSlots slots{};
  std::array<bool, kBacSlots> filled{};
};

struct TSharesLine {
  std::vector<int> companies;
  TDayNumber date;
  int32_t source = 0;
  std::vector<TSharesGroup> groups;
};

// "#" and a class-name id, or a class name.
int ReadClass(TImpMain& run, std::string_view token, int company, int& idClass) {
  if (token.starts_with("#")) {
    int32_t id = 0;
    if (ReadIntegerField(token.substr(1), id) && id > 0 && Listas().EnumClasses.ItemDoId(id)) {
      idClass = id;
      return 0;
    }
    idClass = id;
  } else {
    idClass = Listas().EnumClasses.IdDoTexto(token, 0, true);
    if (idClass > 0) return 0;
    idClass = 0;
  }
  run.ErrorMessage("Unknown class #" + std::to_string(idClass) + " \"" + std::string(token) + "\"" +
                   " pais:" + std::to_string(company == 0 ? 9 : PaisDaEmp(company)));
  return kSharesUnknownClass;
}

// A number token fills its slot with status 2. "-" fills nothing: an update keeps the stored slot,
// which may hold an entered count that derivation must not replace.
int ReadSlot(TImpMain& run, std::string_view token, TSharesGroup& group, int slot) {
  if (token == "-") return 0;
  double number = 0;
  if (Absent(token) || !ReadNumberField(token, number)) {
    run.ErrorMessage("Invalid field <" + std::string(token) + ">");
    return kSharesInvalidNumber;
  }
  group.slots[static_cast<size_t>(slot)] = {number, 2, false};
  group.filled[static_cast<size_t>(slot)] = true;
  return 0;
}

int ReadGroups(TImpMain& run, TSharesLine& line) {
  tParserWrapper& tokens = run.Tokens();
  const int company = line.companies.empty() ? 0 : line.companies.front();
  int at = kFirstGroupToken;
  for (; at + kGroupTokens <= tokens.Count(); at += kGroupTokens) {
    TSharesGroup& group = line.groups.emplace_back();
    if (const int code = ReadClass(run, tokens.Token(at), company, group.idClass)) return code;
    const std::string first = UpperAscii(tokens.Token(at + 1));
    if (first == "TOTAL" || first == "ISSUED") {
      if (const int code = ReadSlot(run, tokens.Token(at + 2), group, kIssued)) return code;
    } else {
      if (const int code = ReadSlot(run, tokens.Token(at + 1), group, kTreasury)) return code;
      if (const int code = ReadSlot(run, tokens.Token(at + 2), group, kOutstanding)) return code;
    }
  }
  return at == tokens.Count() ? 0 : kSharesIncompleteGroup;
}

int ReadLine(TImpMain& run, TSharesLine& line) {
  tParserWrapper& tokens = run.Tokens();
  const std::string_view key1 = tokens.Token(1);
  const std::string_view key2 = tokens.Token(2);
  if (ResolveCompanyKey(key1, key2, run.CachedCompanyLookup(), line.companies) != 0) {
    line.companies.clear();
    // A company that an earlier line of the file creates exists only once that line is written.
    if (!(run.ToNoCheck() && CompanyOfTheFile(run, key1, key2))) return kSharesNoCompany;
  }
  const std::string_view date = tokens.Token(3);
  if (!ReadRequiredDateField(date, line.date)) {
    run.ErrorMessage("Invalid date: <" + std::string(date) + ">");
    return kSharesInvalidDate;
  }
  if (!ReadIntegerField(tokens.Token(4), line.source) || line.source < 0 || line.source > kLastSource) {
    run.ErrorMessage(kInvalidSource);
    return kSharesInvalidSource;
  }
  return ReadGroups(run, line);
}

int WriteCompany(TImpMain& run, const TSharesLine& line, int company, bool whole) {
  // The line changes the share base of its date alone: the others need not be read.
  TListaBaseAcionaria list(company, line.source);
  if (const int code = list.Load(line.date)) return code;
  TBaseAcionaria& base = *list.Find(line.date, true);
  if (whole) base.Clear();
  for (size_t i = 0; i < line.groups.size(); ++i) {
    const TSharesGroup& group = line.groups[i];
    TUmaClasseNaBac* node = base.Node(group.idClass, false);
    if (!node) {
      run.ErrorMessage("ImpBac: EmpId: " + std::to_string(company) + " IndBac:" + std::to_string(i) +
                       " nao existe classe " + std::to_string(group.idClass));
      return kSharesClassWithoutNode;
    }
    for (size_t slot = 0; slot < kBacSlots; ++slot)
      if (group.filled[slot]) node->Slots()[slot] = group.slots[slot];
  }
  base.Derive();
  return list.Save();
}

TDirectiveOutcome Shares(TImpMain& run, bool whole) {
  TSharesLine line;
  if (const int code = ReadLine(run, line)) return {false, code};
  if (run.ToNoCheck()) return {};
  for (const int company : line.companies) {
    if (const int code = WriteCompany(run, line, company, whole)) return {false, code};
  }
  return {};
}

}  // namespace

void RegisterShareBaseDirectives() {
  SetDirectiveHandler("*SHARES", [](TImpMain& run, const TDirective&) { return Shares(run, true); });
  SetDirectiveHandler("*SHARESUPDATE", [](TImpMain& run, const TDirective&) { return Shares(run, false); });
}

}  // namespace zi
