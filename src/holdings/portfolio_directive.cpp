// The text directive *PORTFOLIO: a header line naming the fund, the dates and how values are given,
// then one line per security up to END. The check pass validates every line and resolves every
// security; the import pass writes the portfolio of each company the key names.
#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "holdings/portfolio_assets.h"
#include "holdings/portfolio_store.h"
#include "holdings/portfolio_directives.h"
#include "import/company_key.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "session/reference_data.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kBadCountry = 4182;
constexpr int kTooManyFields = 4183;
constexpr int kEmptyCompany = 4184;
constexpr int kBadReferenceDate = 4185;
constexpr int kBadPublicationDate = 4186;
constexpr int kEmptyFirstToken = 4188;
constexpr int kBadApplication = 4258;
constexpr int kValueMissing = 4259;
constexpr int kBadValue = 4261;
constexpr int kLineTooLong = 4262;
constexpr int kBadInPct = 50019;
constexpr int kBadDateBySource = 30135;
constexpr int kDocTypeNotInteger = 40003;
constexpr int kDocTypeRefused = 40013;
constexpr int kBadClassification = 45090;
constexpr int kLinesExhausted = 3959;

constexpr int kValueTokens = 3;
constexpr int kTrailingTokens = 5;

// The header line's outcome.
struct THeader {
  std::vector<int> companies;
  bool inpct = false;
  TPortfolioRec rec;
};

// One item line, cleared before every line.
struct _UmItem {
  std::string doc;
  int32_t n = 0;
  int32_t country = 0;
  int32_t asset = 0;
  int32_t application = 0;
  int32_t classification = 0;
  double value = kNoValue;
};

enum class TItemForm { Document, NotToClean, Id, IdInCountry, Total };

const char* DocTypeName(int type) {
  switch (type) {
    case 0: return "ShareHolders";
    case 1: return "Fund Portfolio";
    case 3: return "Credit Receivables";
    case 4: return "Index Portfolio";
    default: return "";
  }
}

std::string ValueText(double value) { return std::isfinite(value) ? fmt::format("{:.11g}", value) : "-"; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

// A quoted text loses one pair of enclosing quotes.
std::string Unquoted(std::string text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    return text.substr(1, text.size() - 2);
  return text;
}

int Report(TImpMain& run, const std::string& message, int code) {
  run.ErrorMessage(message);
  return code;
}

int ReadHeader(TImpMain& run, THeader& h) {
  tParserWrapper& t = run.Tokens();
  const std::string t1(t.Token(1));
  const std::string t2(t.Token(2));
  const std::string t3(t.Token(3));
  if (t1.empty()) return Report(run, "Empty <company>", kEmptyCompany);
  if (const int code = ResolveCompanyKey(t1, t2, run.CachedCompanyLookup(), h.companies)) {
    return Report(run, "Invalid company " + t1 + "/" + t2, code);
  }
  if (!ReadRequiredDateField(t3, h.rec.dtref)) return Report(run, "Invalid date", kBadReferenceDate);
  if (!ReadDateField(t.Token(4), h.rec.dtpub)) return Report(run, "Invalid date", kBadPublicationDate);
  const std::string inpct(t.Token(5));
  if (inpct.empty() || inpct == "-") {
    run.Output("Token InPct:\"" + inpct + "\" ignored", false);
  } else if (inpct == "1" || SameTextAscii(inpct, "Y")) {
    h.inpct = true;
  } else if (inpct != "0" && !SameTextAscii(inpct, "N")) {
    return Report(run, "Invalid inpct", kBadInPct);
  }
  const std::string type(t.Token(6));
  int32_t docType = 1;
  if (!type.empty()) {
    if (!ReadIntegerField(type, docType)) return Report(run, "Invalid DocType: " + type, kDocTypeNotInteger);
    if (docType != 1 && docType != 3 && docType != 4) return Report(run, "Invalid DocType: " + type, kDocTypeRefused);
  }
  h.rec.TipoDocumento = static_cast<uint8_t>(docType);
  run.Output(std::string("DocType: ") + DocTypeName(docType), false);
  if (docType == 1 && h.companies.size() > 1) {
    int company = 0;
    const int code = ResolveOneCompanyByCnpj(t1, t2, h.rec.dtref, company);
    if (code != 0 || company == 0) {
      run.Output("warn:" + std::to_string(code) + " carteira pode entrar em duplicidade " + t1 + "/" + t2 +
                     " dref: " + t3,
                 false);
    } else {
      h.companies = {company};
    }
  }
  h.rec.dtrefinformadapelafonte = h.rec.dtref;
  int extra = 7;
  const std::string_view t7 = t.Token(7);
  if (t7.starts_with("DateBySource:")) {
    const std::string rest = Unquoted(Trim(t7.substr(13)));
    if (!ReadRequiredDateField(rest, h.rec.dtrefinformadapelafonte)) {
      return Report(run, "Invalid date for DateBySource:" + rest, kBadDateBySource);
    }
    extra = 8;
  }
  for (int i = extra; i <= 9; ++i)
    if (!t.Token(i).empty()) return Report(run, "Too many fields", kTooManyFields);
  return 0;
}

// A classification token: "-", 0 or a member of the classification list.
bool ReadClassification(std::string_view token, int32_t& classification) {
  if (token == "-") return true;
  if (!ReadIntegerField(token, classification)) return false;
  return classification == 0 || Listas().EnumPfItemTipoClassificacao.ItemDoId(classification) != nullptr;
}

// The state of one block: what its lines found and noted.
struct TBlock {
  THeader header;
  TPortfolioItems securities;
  bool notedSkip = false;
  int setAside = 0;
};

// The form of the line and the position of its application type.
TItemForm FormOf(std::string_view first, _UmItem& item, int& applicationAt) {
  applicationAt = 2;
  if (StartsWithNoCase(first, "NOTTOCLEANDOC:")) {
    item.doc = std::string(first.substr(14));
    return TItemForm::NotToClean;
  }
  for (const char* prefix : {"IDSHAREHOLDERNOPAIS:", "IDPTFASSETTVMNOPAIS:", "IDPFITEMNOPAIS:"}) {
    const std::string_view p(prefix);
    if (StartsWithNoCase(first, p) && ReadIntegerField(first.substr(p.size()), item.n)) return TItemForm::IdInCountry;
  }
  for (const char* prefix : {"IDSHAREHOLDER:", "IDPTFASSETTVM:", "IDPFITEM:"}) {
    const std::string_view p(prefix);
    if (StartsWithNoCase(first, p) && ReadIntegerField(first.substr(p.size()), item.asset)) {
      applicationAt = 1;
      return TItemForm::Id;
    }
  }
  item.doc = UpperCp1252(first);
  return TItemForm::Document;
}

// The asset id of a number within a country, in 64 bits; false when it leaves the id's range.
bool AssetInCountry(int32_t country, int32_t n, int32_t& asset) {
  const int64_t id = n < 10000 ? int64_t{country} * 10000 + n : (int64_t{country} + 100) * 100000 + n - 10000;
  if (id <= 0 || id > INT32_MAX) return false;
  asset = static_cast<int32_t>(id);
  return true;
}

// Reads the values and classifications from position at; 0 or the code (reported by the caller).
int ReadValues(TImpMain& run, TBlock& block, int at, bool totalLine, _UmItem& item) {
  tParserWrapper& t = run.Tokens();
  const bool inpct = block.header.inpct;
  bool taken = false;
  for (int k = 0; k < kValueTokens; ++k) {
    std::string token(t.Token(at + k));
    if (token.empty()) {
      if (k == 0) return kValueMissing;
      continue;
    }
    const bool percent = token.back() == '%';
    if (token.front() == '#' || (k > 0 && taken && !percent)) {
      if (!ReadClassification(token.front() == '#' ? std::string_view(token).substr(1) : token, item.classification))
        return kBadClassification;
      continue;
    }
    if (totalLine && !taken) {
      if (percent || !ReadNumberField(token, item.value)) return kBadValue;
      taken = true;
      continue;
    }
    if (percent != inpct) {
      if (!block.notedSkip) {
        run.Output(percent ? "Percentage values are ignored when inpct is False"
                           : "Nominal values are ignored when inpct is True",
                   false);
        block.notedSkip = true;
      }
      continue;
    }
    if (percent) token.pop_back();
    if (!ReadNumberField(token, item.value)) return kBadValue;
    taken = true;
  }
  return 0;
}

// One item line; 0, or the code that ends the block (reported).
int ReadItemLine(TImpMain& run, TBlock& block) {
  tParserWrapper& t = run.Tokens();
  const std::string first(t.Token(0));
  _UmItem item;
  if (first.empty()) return Report(run, "ImpPortfolio invalid line <> error:" + std::to_string(kEmptyFirstToken),
                                   kEmptyFirstToken);
  const std::string upper = UpperAscii(first);
  const bool totalLine = (upper == "TOTAL" || upper == "BASE") && UpperAscii(t.Token(1)) == upper;
  int applicationAt = 1;
  TItemForm form = TItemForm::Total;
  int code = 0;
  std::string badToken = upper;
  if (!totalLine) {
    form = FormOf(first, item, applicationAt);
    if (form != TItemForm::Id && (!ReadIntegerField(t.Token(1), item.country) ||
                                  Listas().EnumPais.ItemDoId(item.country) == nullptr)) {
      code = kBadCountry;
    } else if (!ReadIntegerField(t.Token(applicationAt), item.application)) {
      code = kBadApplication;
    } else if (form == TItemForm::IdInCountry && !AssetInCountry(item.country, item.n, item.asset)) {
      code = kHolderIdOutOfRange;
    }
  }
  if (code == 0) code = ReadValues(run, block, applicationAt + 1, totalLine, item);
  const bool documentForm = form == TItemForm::Document || form == TItemForm::NotToClean;
  if (code == 0 && documentForm && !block.header.inpct && item.value == 0) {
    run.Output("Ignored item: #0 \"" + item.doc + "\"/" + std::to_string(item.country), false);
    return 0;
  }
  if (code == 0 && documentForm) {
    const int found = PortfolioAssetForLine(run, item.doc, item.country, form == TItemForm::Document, item.asset);
    const bool accepted = found != 0 && run.ToNoCheck() && PortfolioAssetAddedByRun(run, item.doc, item.country);
    if (found != 0 && !accepted) {
      run.ErrorMessage("ImpPortfolio invalid doc:\"" + item.doc + "\"/" + std::to_string(item.country) +
                       " error:" + std::to_string(found) + " valor:" + ValueText(item.value));
      if (run.ToNoCheck() && (block.setAside == 0 || block.setAside == found)) {
        block.setAside = found;
      } else {
        code = found;
      }
    }
  }
  if (code == 0) {
    for (int k = 0; k < kTrailingTokens; ++k) {
      const std::string_view extra = t.Token(applicationAt + 1 + kValueTokens + k);
      if (extra.empty()) continue;
      run.ErrorMessage("ImpPortfolio line too long: " + std::string(extra));
      badToken = std::string(extra);
      code = kLineTooLong;
      break;
    }
  }
  if (code != 0) return Report(run, "ImpPortfolio invalid line <" + badToken + "> error:" + std::to_string(code), code);
  if (totalLine) {
    (block.header.inpct ? block.header.rec.TotalPorc : block.header.rec.PL) = item.value;
    return 0;
  }
  const bool inpct = block.header.inpct;
  block.securities.Set(item.asset, item.application, item.classification, true, kNoValue,
                       inpct ? item.value : kNoValue, inpct ? kNoValue : item.value);
  return 0;
}

int WriteForCompanies(TImpMain& run, TBlock& block) {
  const bool check = !TemParam("PfNaoCheckarAplicacaoAcionista");
  int first = 0;
  int failures = 0;
  for (const int company : block.header.companies) {
    block.header.rec.emp = company;
    block.securities.TipoDocumento = block.header.rec.TipoDocumento;
    const int code = DbPortfolioAddOuPut(block.header.rec, block.securities, check);
    if (code == 0) continue;
    run.ErrorMessage("PortfolioUtil.DbPortfolioAddOuPut Emp: " + std::to_string(company) +
                     ", error: " + std::to_string(code));
    if (first == 0) first = code;
    ++failures;
  }
  if (failures > 0) {
    run.ErrorMessage("PortfolioUtil.DbPortfolioAddOuPut Erros/Total: " + std::to_string(failures) + "/" +
                     std::to_string(block.header.companies.size()));
  }
  return first;
}

TDirectiveOutcome ImportaPortfolio(TImpMain& run, const TDirective&) {
  TBlock block;
  if (const int code = ReadHeader(run, block.header)) {
    run.SkipBlock();
    return {false, code};
  }
  tParserWrapper& t = run.Tokens();
  for (;;) {
    if (!run.NextBlockLine(false)) return {false, kLinesExhausted};
    if (UpperAscii(t.Token(0)) == "END") break;
    if (const int code = ReadItemLine(run, block)) {
      run.SkipBlock();
      return {false, code};
    }
  }
  if (block.setAside != 0) return {false, block.setAside};
  if (run.ToNoCheck()) return {};
  const int code = WriteForCompanies(run, block);
  return {code == 0, code};
}

}  // namespace

void RegisterPortfolioTextDirective() { SetDirectiveHandler("*PORTFOLIO", ImportaPortfolio); }

}  // namespace zi
