// The JSON record type "portfolio": the header checked, the companies its key names, the items read,
// and for each company the portfolio written whole.
#include <string>
#include <vector>

#include <fmt/printf.h>

#include "holdings/portfolio.h"
#include "import/company_key.h"
#include "import/json_import.h"
#include "toolbox/log.h"

namespace zi {

namespace {

constexpr int kUpdateWithoutPortfolio = 50105;
constexpr int kInsertOverPortfolio = 50106;

// The company key's attributes of a JSON record.
class TJsonKeyAttributes : public TKeyAttributes {
 public:
  explicit TJsonKeyAttributes(TJsonObject& record) : record_(record) {}
  bool TextAttribute(std::string_view name, std::string& value) const override {
    return record_.TryGetString(name, value);
  }
  bool NumberAttribute(std::string_view name, double& value) const override {
    const std::optional<TJsonAttribute> member = record_.Find(name);
    if (!member || !member->IsNumber()) return false;
    value = static_cast<double>(member->AsNumber());
    return true;
  }

 private:
  TJsonObject& record_;
};

const char* ActionName(_ActionDB action) {
  switch (action) {
    case _adb_upsert: return "_adb_upsert";
    case _adb_insert: return "_adb_insert";
    case _adb_update: return "_adb_update";
  }
  return "_adb_none";
}

int Companies(TJsonObject& record, std::vector<int>& companies) {
  TCompanyKey key;
  if (const int code = JsonCompanyKey(TJsonKeyAttributes(record), key)) return code;
  return ResolveCompanyKey(key, false, companies);
}

// Writes the portfolio for each company in turn; the first failure ends the loop.
int WriteForCompanies(TPortfolio& portfolio, const std::vector<int>& companies, _ActionDB action,
                      TPortfolioContext& context) {
  for (const int company : companies) {
    portfolio.SetEmp(company);
    int32_t existing = 0;
    int code = DbPortfolioGetPelaEmpTipoDocDataV2(company, portfolio.TpDoc(), portfolio.DtRef(), existing, context);
    if (code == kPortfolioNotFound) code = 0;
    if (code == 0) {
      portfolio.SetIdPortfolio(existing);
      const std::string name = ActionName(action);
      if (action == _adb_update && existing == 0) {
        code = kUpdateWithoutPortfolio;
        context.inconsistencies.AddError(
            code, fmt::sprintf("Inconsistency operation: \"%s\", Portfolio does not exist for idemp: %d", name, company),
            nullptr, &name);
      } else if (action == _adb_insert && existing != 0) {
        code = kInsertOverPortfolio;
        context.inconsistencies.AddError(
            code, fmt::sprintf("Inconsistency operation: \"%s\", Portfolio already exists for idemp: %d", name, company),
            nullptr, &name);
      } else {
        code = portfolio.Write(context);
      }
    }
    if (code != 0) {
      LogaFormat("Failed while importing portfolio for Emp cod: \"%d\"", company);
      return code;
    }
  }
  return 0;
}

void ImportPortfolio(const std::string& caller, TImpJSON& run, TJsonObject& record, _ActionDB action) {
  TPortfolioContext context{run.Register()};
  TPortfolio portfolio;
  int code = portfolio.ReadImport(record, context);
  std::vector<int> companies;
  if (code == 0) code = Companies(record, companies);
  if (code == 0) code = portfolio.ReadItems(context);
  if (code == 0) code = WriteForCompanies(portfolio, companies, action, context);
  if (code == 0) {
    run.Output(fmt::format("{} portfolio {} written", caller, portfolio.IdPortfolio()), false);
    return;
  }
  context.inconsistencies.AddError(code, "Failed while importing Portfolio");
  run.NonCriticalError(code, "%s Failed while importing Portfolio", caller);
}

}  // namespace

void RegisterPortfolioJsonType() { SetJsonRecordHandler("portfolio", ImportPortfolio); }

}  // namespace zi
