#include "holdings/composition_directive.h"

#include <limits>
#include <optional>
#include <set>
#include <vector>

#include "holdings/composition.h"
#include "holdings/registry_import.h"
#include "import/company_key.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "session/reference_data.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kTooManyFields = 4183;
constexpr int kInvalidRefDate = 4185;
constexpr int kInvalidPubDate = 4186;
constexpr int kEmptyFirstToken = 4188;
constexpr int kInvalidVoting = 4191;
constexpr int kInvalidNonVoting = 4192;
constexpr int kInvalidTotal = 4210;
constexpr int kLineTooLong = 4262;
constexpr int kInvalidInPct = 50019;
constexpr int kLinesExhausted = 3959;
constexpr int kExtraTokens = 5;

enum class TItemForm { Document, NotToCleanDoc, IdShareHolder, IdShareHolderNoPais, Total, FreeFloat };

struct TParsedItem {
  TItemForm form = TItemForm::Document;
  _UmItemCompAcionaria item;
  std::string badToken;  // what the "invalid line" report names
};

class TCompositionBlock {
 public:
  explicit TCompositionBlock(TImpMain& run) : run_(run), t_(run.Tokens()) {}

  int Run() {
    if (const int code = Header()) {
      run_.SkipBlock();
      return code;
    }
    int setAside = 0;
    for (;;) {
      if (!run_.NextBlockLine(false)) return kLinesExhausted;
      if (UpperAscii(t_.Token(0)) == "END") break;
      const int code = ItemLine(setAside);
      if (code != 0) {
        run_.SkipBlock();
        return code;
      }
    }
    if (setAside != 0) return setAside;
    return run_.ToNoCheck() ? 0 : Write();
  }

 private:
  int Header() {
    const std::string key1(t_.Token(1));
    const std::string key2(t_.Token(2));
    int code = ResolveCompanyKey(key1, key2, run_.CachedCompanyLookup(), companies_);
    // A company that an earlier line of the file creates exists by the time the import pass comes.
    if (code != 0 && run_.ToNoCheck() && CompanyOfTheFile(run_, key1, key2)) code = 0;
    if (code != 0) {
      run_.ErrorMessage("Invalid company " + key1 + "/" + key2);
      return code;
    }
    if (!ReadRequiredDateField(t_.Token(3), header_.dtref)) {
      run_.ErrorMessage("Invalid date");
      return kInvalidRefDate;
    }
    if (!ReadDateField(t_.Token(4), header_.dtpub)) {
      run_.ErrorMessage("Invalid date");
      return kInvalidPubDate;
    }
    const std::string inpct(t_.Token(5));
    const std::string upper = UpperAscii(inpct);
    if (inpct.empty() || inpct == "-") {
      run_.Output("Token InPct:\"" + inpct + "\" ignored", false);
    } else if (upper == "1" || upper == "Y") {
      header_.inpct = true;
    } else if (upper != "0" && upper != "N") {
      run_.ErrorMessage("Invalid inpct");
      return kInvalidInPct;
    }
    run_.Output("DocType: ShareHolders", false);
    if (t_.Count() > 10 || !t_.Token(6).empty() || !t_.Token(7).empty() || !t_.Token(8).empty() ||
        !t_.Token(9).empty()) {
      run_.ErrorMessage("Too many fields");
      return kTooManyFields;
    }
    return 0;
  }

  // Reads a number field at i; absent 0, "-" or empty no value.
  bool Value(int i, double& value) {
    if (i >= t_.Count()) {
      value = 0;
      return true;
    }
    return ReadNumberField(t_.Token(i), value);
  }

  // The form and the place of the values.
  TParsedItem Classify() {
    TParsedItem p;
    const std::string first(t_.Token(0));
    const std::string upper = UpperAscii(first);
    auto number = [&](std::string_view prefix, int32_t& n) {
      return upper.starts_with(prefix) && ReadIntegerField(std::string_view(first).substr(prefix.size()), n);
    };
    p.item.doc = UpperAscii(first);
    if (upper.starts_with("NOTTOCLEANDOC:")) {
      p.form = TItemForm::NotToCleanDoc;
      p.item.doc = first.substr(14);
    } else if (number("IDSHAREHOLDERNOPAIS:", p.item.n)) {
      p.form = TItemForm::IdShareHolderNoPais;
    } else if (number("IDSHAREHOLDER:", p.item.IdShareholder)) {
      p.form = TItemForm::IdShareHolder;
    } else if (upper == "TOTAL" && UpperAscii(t_.Token(1)) == "TOTAL") {
      p.form = TItemForm::Total;
    } else if (upper == "FREE-FLOAT" && UpperAscii(t_.Token(1)) == "FREE-FLOAT") {
      p.form = TItemForm::FreeFloat;
    }
    p.badToken = upper;
    return p;
  }

  int ParseLine(TParsedItem& p) {
    if (t_.Token(0).empty()) return kEmptyFirstToken;
    const bool withCountry = p.form == TItemForm::Document || p.form == TItemForm::NotToCleanDoc ||
                             p.form == TItemForm::IdShareHolderNoPais;
    if (withCountry && !ReadKnownCode(t_.Token(1), Listas().EnumPais, p.item.pais)) return kHolderCountryInvalid;
    const int firstValue = p.form == TItemForm::IdShareHolder ? 1 : 2;
    if (!Value(firstValue, p.item.comvoto)) return kInvalidVoting;
    if (!Value(firstValue + 1, p.item.semvoto)) return kInvalidNonVoting;
    int extra = firstValue + 2;
    if (p.form != TItemForm::IdShareHolder) {
      if (t_.Count() == 5 && !Value(4, p.item.total)) return kInvalidTotal;
      extra = 5;
    }
    for (int i = extra; i < extra + kExtraTokens; ++i) {
      if (!t_.Token(i).empty()) {
        p.badToken = std::string(t_.Token(i));
        run_.ErrorMessage("ImpCompAcionaria line too long: " + p.badToken);
        return kLineTooLong;
      }
    }
    if (t_.Count() > extra + kExtraTokens) {
      p.badToken = std::string(t_.Token(extra + kExtraTokens));
      run_.ErrorMessage("ImpCompAcionaria line too long: " + p.badToken);
      return kLineTooLong;
    }
    if (p.form == TItemForm::IdShareHolderNoPais &&
        !IdShareHolderNoPais(p.item.n, p.item.pais, p.item.IdShareholder)) {
      return kHolderIdOutOfRange;
    }
    if (p.form == TItemForm::IdShareHolder && p.item.IdShareholder <= 0) return kHolderIdOutOfRange;
    return 0;
  }

  // The shareholder of a document form; a failure of the check pass may be set aside.
  int FindShareholder(TParsedItem& p, int& setAside, bool& accepted) {
    const bool mayClean = p.form == TItemForm::Document;
    int code = 0;
    int32_t id = 0;
    if (run_.CachedCompanyLookup()) {
      code = TShareholderRegistry::FindInIndex(p.item.doc, p.item.pais, mayClean, id);
    } else {
      THolderRec rec;
      THolderFound found;
      code = TShareholderRegistry::GetByDocPais(p.item.doc, p.item.pais, "", mayClean, rec, found);
      id = rec.id;
    }
    if (code == 0) {
      p.item.IdShareholder = id;
      accepted = true;
      return 0;
    }
    if (!run_.ToNoCheck()) return code;
    if (HolderRunState(run_).shareholders.added.Contains(UpperAscii(p.item.doc), p.item.pais)) return 0;
    run_.ErrorMessage("ImpCompAcionaria invalid doc:\"" + p.item.doc + "\"/" + std::to_string(p.item.pais) +
                      " error:" + std::to_string(code));
    if (setAside == 0 || setAside == code) {
      setAside = code;
      return 0;
    }
    return code;
  }

  // Mended: a shareholder named by id must exist, or the items' write fails in the import pass on
  // the server's reference check alone, after the check pass let the file through. A holder that
  // the file creates has no id before the import pass writes it, so an id names a stored one.
  int KnownShareholder(const TParsedItem& p) {
    if (known_.contains(p.item.IdShareholder)) return 0;
    THolderRec rec;
    const int code = TShareholderRegistry::Get(p.item.IdShareholder, rec);
    if (code == 0) known_.insert(p.item.IdShareholder);
    return code;
  }

  int ItemLine(int& setAside) {
    TParsedItem p = Classify();
    int code = ParseLine(p);
    const bool byId = p.form == TItemForm::IdShareHolder || p.form == TItemForm::IdShareHolderNoPais;
    bool accepted = byId;
    if (code == 0 && byId) code = KnownShareholder(p);
    if (code == 0 && (p.form == TItemForm::Document || p.form == TItemForm::NotToCleanDoc)) {
      code = FindShareholder(p, setAside, accepted);
    }
    if (code == kEmptyFirstToken) return code;
    if (code != 0) {
      run_.ErrorMessage("ImpCompAcionaria invalid line <" + p.badToken + "> error:" + std::to_string(code));
      return code;
    }
    const _UmItemCompAcionaria& i = p.item;
    if (p.form == TItemForm::Total || p.form == TItemForm::FreeFloat) {
      auto field = [&](uint8_t vot) -> double& {
        return p.form == TItemForm::Total ? header_.Total(vot) : header_.FreeFloat(vot);
      };
      field(kVoting) = i.comvoto;
      field(kNonVoting) = i.semvoto;
      field(kAllShares) = i.total;
    } else if (accepted) {
      items_.Set(i.IdShareholder, kVoting, true, i.comvoto);
      items_.Set(i.IdShareholder, kNonVoting, true, i.semvoto);
      items_.Set(i.IdShareholder, kAllShares, true, i.total);
    }
    return 0;
  }

  int Write() {
    int first = 0;
    int failures = 0;
    for (const int company : companies_) {
      TCompAcionariaRec header = header_;
      header.emp = company;
      TCompAcionariaItems items;
      items.Assign(items_);
      const int code = DbCacAddOuPut(header, items);
      if (code == 0) continue;
      ++failures;
      if (first == 0) first = code;
      run_.ErrorMessage("CompAcionariaUtil.DbCompAcionariaAddOuPut Emp: " + std::to_string(company) +
                        ", error: " + std::to_string(code));
    }
    if (failures > 0) {
      run_.ErrorMessage("CompAcionariaUtil.DbCompAcionariaAddOuPut Erros/Total: " + std::to_string(failures) + "/" +
                        std::to_string(companies_.size()));
    }
    return first;
  }

  TImpMain& run_;
  tParserWrapper& t_;
  std::vector<int> companies_;
  TCompAcionariaRec header_;
  TCompAcionariaItems items_;
  std::set<int32_t> known_;  // shareholder ids found by this block
};

}  // namespace

bool IdShareHolderNoPais(int64_t n, int64_t pais, int32_t& id) {
  const int64_t value = n < 10000 ? pais * 10000 + n : (pais + 100) * 100000 + n - 10000;
  if (value < 1 || value > std::numeric_limits<int32_t>::max()) return false;
  id = static_cast<int32_t>(value);
  return true;
}

void RegisterCompositionDirective() {
  SetDirectiveHandler("*SHAREHOLDERS",
                      [](TImpMain& run, const TDirective&) { return TDirectiveOutcome{true, TCompositionBlock(run).Run()}; });
}

}  // namespace zi
