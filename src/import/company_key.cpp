#include "import/company_key.h"

#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "catalogue/caches.h"
#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "import/fields.h"
#include "session/reference_data.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

struct TFormKinds {
  std::string_view kind1;
  std::string_view kind2;
  TCompanyKeyForm form;
};

constexpr TFormKinds kForms[] = {
    {"companyid", "country", TCompanyKeyForm::CompanyCode},
    {"cnpj", "country", TCompanyKeyForm::Cnpj},
    {"ticker", "exchange", TCompanyKeyForm::Ticker},
    {"isin", "exchange", TCompanyKeyForm::Isin},
};

// The procedures of the key forms that name companies or classes by a list of rows.
struct TListProcedure {
  const char* name;
  const char* valueParam;
  const char* codeParam;
  const char* exceptionText;  // the start of the log line of an exception while reading the rows
  int exceptionCode;
};

constexpr TListProcedure kCompaniesByCnpj{"PegaListaDeIdEmpPeloCnpjCountry", "@cnpj", "@pais",
                                          "LeTokListaDeIdEmpPeloCnpjCountry", kCompanyKeyByCnpjFailed};
constexpr TListProcedure kCompaniesByTicker{"PegaListaDeIdEmpPeloTickerExchange", "@AnbCod", "@AnbBolsa",
                                            "LeTokListaDeIdEmpPeloTickerExchange", kCompanyKeyByTickerFailed};
constexpr TListProcedure kCompaniesByIsin{"PegaListaDeIdEmpPeloIsinExchange", "@Isin", "@AnbBolsa",
                                          "LeTokListaDeIdEmpPeloIsinExchange", kCompanyKeyByIsinFailed};
constexpr TListProcedure kClassesByCnpj{"PegaListaDeIdAtvPeloCnpjCountry", "@cnpj", "@pais",
                                        "LeTokListaDeIdAtvPeloCnpjCountry", kClassKeyByCnpjFailed};
constexpr TListProcedure kClassesByTicker{"PegaListaDeIdAtvPeloTickerExchange", "@AnbCod", "@AnbBolsa",
                                          "LeTokListaDeIdAtvPeloTickerExchange", kClassKeyByTickerFailed};
constexpr TListProcedure kClassesByIsin{"PegaListaDeIdAtvPeloIsinExchange", "@Isin", "@AnbBolsa",
                                        "LeTokListaDeIdAtvPeloIsinExchange", kClassKeyByIsinFailed};

// A country (or exchange) of a key: an integer that the session's list holds.
std::optional<int> KnownCode(std::string_view text, tIntStgList& list) {
  int32_t code = 0;
  if (!ReadIntegerField(text, code) || !list.ItemDoId(code)) return std::nullopt;
  return code;
}

void LogException(const char* what, const std::exception& e) {
  Loga(std::string(what) + " Except: (" + ExceptionClassName(e) + ") " + e.what());
}

// Runs a list procedure and collects the first column of its rows; then its return code counts.
int ReadIdList(const TListProcedure& procedure, const std::string& value, int code,
               const std::string* className, std::vector<int>& ids) {
  db::TDataSetHolder ds(db::ZiDb(), procedure.name);
  if (!ds) return ds.Failure(procedure.exceptionCode);
  try {
    ds->SetText(procedure.valueParam, value);
    ds->SetInteger(procedure.codeParam, code);
    if (className) ds->SetText("@class", *className);
    const int result = db::ZiDb().ExecStProc(*ds, 2);
    for (; result == 0 && !ds->Eof(); ds->Next()) ids.push_back(db::ValueAsInteger(ds->FieldByIndex(0)));
    return result;
  } catch (const std::exception& e) {
    LogException(procedure.exceptionText, e);
    ids.clear();
    return procedure.exceptionCode;
  }
}

int ResolveCompanyCode(const TCompanyKey& key, bool cachedLookup, std::vector<int>& companies) {
  const std::optional<int> country = KnownCode(key.value2, Listas().EnumPais);
  if (!country) return kKeyCountryInvalid;
  const std::string code = Trim(key.value1);
  int id = 0;
  int result = cachedLookup ? CacheEmpPais().Procura(*country, code, id)
                            : GetIdEmp(code, std::to_string(*country), id);
  if (id == 0 && code.find("-provis") != std::string::npos) {
    std::string definitive;
    int provisionalCompany = 0;
    int series = 0;
    if (GetRegistroCodCVMparaAnbima(code, definitive, provisionalCompany, series) == 1) {
      id = provisionalCompany;
      result = 0;
    }
  }
  if (result == 0 && id > 0) companies.push_back(id);
  return result;
}

// The procedures of the key forms that name a list, for companies or for classes.
struct TListProcedures {
  const TListProcedure& cnpj;
  const TListProcedure& ticker;
  const TListProcedure& isin;
};

constexpr TListProcedures kCompanyLists{kCompaniesByCnpj, kCompaniesByTicker, kCompaniesByIsin};
constexpr TListProcedures kClassLists{kClassesByCnpj, kClassesByTicker, kClassesByIsin};

// Forms 2 to 4: the country (of a CNPJ) or the exchange (of a ticker or ISIN) must be known; then
// the form's procedure lists the ids. Only the CNPJ form takes the class name: a ticker or an ISIN
// names its class itself.
int ResolveListForm(const TCompanyKey& key, const TListProcedures& procedures, const std::string* className,
                    std::vector<int>& ids, int impossible) {
  switch (key.form) {
    case TCompanyKeyForm::Cnpj:
      if (const std::optional<int> country = KnownCode(key.value2, Listas().EnumPais)) {
        return ReadIdList(procedures.cnpj, key.value1, *country, className, ids);
      }
      return kKeyCountryInvalid;
    case TCompanyKeyForm::Ticker:
    case TCompanyKeyForm::Isin:
      if (const std::optional<int> exchange = KnownCode(key.value2, Listas().EnumBolsa)) {
        const TListProcedure& procedure = key.form == TCompanyKeyForm::Ticker ? procedures.ticker : procedures.isin;
        return ReadIdList(procedure, key.value1, *exchange, nullptr, ids);
      }
      return kKeyExchangeInvalid;
    default: return impossible;
  }
}

// No ids after a failure; a success that found none is the failure `none`.
int Settled(int code, std::vector<int>& ids, int none) {
  if (code != 0) ids.clear();
  else if (ids.empty()) return none;
  return code;
}

}  // namespace

TCompanyKey SplitCompanyKey(std::string_view token1, std::string_view token2) {
  const size_t colon1 = token1.find(':');
  const size_t colon2 = token2.find(':');
  if (colon1 != std::string_view::npos && colon2 != std::string_view::npos) {
    for (const TFormKinds& f : kForms) {
      if (SameTextAscii(token1.substr(0, colon1), f.kind1) && SameTextAscii(token2.substr(0, colon2), f.kind2)) {
        return {f.form, std::string(token1.substr(colon1 + 1)), std::string(token2.substr(colon2 + 1))};
      }
    }
  }
  return {TCompanyKeyForm::CompanyCode, std::string(token1), std::string(token2)};
}

int ResolveCompanyKey(std::string_view token1, std::string_view token2, bool cachedLookup,
                      std::vector<int>& companies) {
  return ResolveCompanyKey(SplitCompanyKey(token1, token2), cachedLookup, companies);
}

int ResolveCompanyKey(const TCompanyKey& key, bool cachedLookup, std::vector<int>& companies) {
  companies.clear();
  int code = 0;
  // A key with an empty value names no company: no error of its own, it ends as a key naming none.
  if (!key.value1.empty() && !key.value2.empty()) {
    code = key.form == TCompanyKeyForm::CompanyCode
               ? ResolveCompanyCode(key, cachedLookup, companies)
               : ResolveListForm(key, kCompanyLists, nullptr, companies, kCompanyKeyFormImpossible);
  }
  return Settled(code, companies, kCompanyKeyNoCompany);
}

int ResolveClassKey(std::string_view token1, std::string_view token2, std::string_view className,
                    std::vector<int>& classes) {
  classes.clear();
  const TCompanyKey key = SplitCompanyKey(token1, token2);
  const std::string name(className);
  int code = 0;
  if (key.form == TCompanyKeyForm::CompanyCode) {
    int company = 0;
    int atv = 0;
    int classNameId = 0;
    code = GetIdAtvV2(key.value1, key.value2, name, true, company, atv, classNameId);
    if (code == 0) classes.push_back(atv);
  } else if (key.form == TCompanyKeyForm::Cnpj && (Trim(name).empty() || Trim(name) == "-")) {
    return kClassKeyWithoutClassName;
  } else {
    code = ResolveListForm(key, kClassLists, &name, classes, kClassKeyFormImpossible);
  }
  return Settled(code, classes, kClassKeyNoClass);
}

int ResolveOneCompanyByCnpj(std::string_view token1, std::string_view token2, TDayNumber date, int& company) {
  company = 0;
  const TCompanyKey key = SplitCompanyKey(token1, token2);
  if (key.form != TCompanyKeyForm::Cnpj) return kOneCompanyKeyNotCnpj;
  const std::optional<int> country = KnownCode(key.value2, Listas().EnumPais);
  if (!country) return kKeyCountryInvalid;
  db::TDataSetHolder ds(db::ZiDb(), "PegaApenasUmIdEmpPeloCnpjCountry");
  if (!ds) return ds.Failure(kOneCompanyFailed);
  try {
    ds->SetText("@cnpj", key.value1);
    ds->SetInteger("@pais", *country);
    ds->SetDayNumber("@dtref", date);
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0) company = ds->ParamAsInteger("@idemp");
    return code;
  } catch (const std::exception& e) {
    LogException("LeTokApenasUmIdEmpPeloCnpjCountry", e);
    company = 0;
    return kOneCompanyFailed;
  }
}

int JsonCompanyKey(const TKeyAttributes& record, TCompanyKey& key) {
  for (const TFormKinds& f : kForms) {
    std::string text;
    double number = 0;
    if (record.TextAttribute(f.kind1, text) && record.NumberAttribute(f.kind2, number)) {
      // Rounded and written in full, so that a code beyond any integer is refused by the lookup.
      key = {f.form, text, fmt::format("{:.0f}", std::round(number))};
      return 0;
    }
  }
  return kJsonRecordWithoutCompanyKey;
}

}  // namespace zi
