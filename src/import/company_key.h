#pragma once
// The company key pair of import lines (two tokens, in one of four forms) and its resolution to
// the companies it names; the class key adds a class name; a JSON record names a company through
// its attributes.

#include <string>
#include <string_view>
#include <vector>

#include "toolbox/dates.h"

namespace zi {

enum class TCompanyKeyForm { CompanyCode = 1, Cnpj = 2, Ticker = 3, Isin = 4 };

struct TCompanyKey {
  TCompanyKeyForm form = TCompanyKeyForm::CompanyCode;
  std::string value1;  // company code, CNPJ, ticker or ISIN
  std::string value2;  // country or exchange code, as written
};

// Both tokens "kind:value" with a known pair of kinds (any case) give that form; anything else is
// a company code and a country code, the whole tokens.
TCompanyKey SplitCompanyKey(std::string_view token1, std::string_view token2);

inline constexpr int kKeyCountryInvalid = 4182;
inline constexpr int kKeyExchangeInvalid = 25267;
inline constexpr int kCompanyKeyFormImpossible = 25263;
inline constexpr int kCompanyKeyByIsinFailed = 25264;
inline constexpr int kCompanyKeyByTickerFailed = 25265;
inline constexpr int kCompanyKeyByCnpjFailed = 25266;
inline constexpr int kCompanyKeyNoCompany = 25268;
inline constexpr int kClassKeyByCnpjFailed = 45217;
inline constexpr int kClassKeyFormImpossible = 45218;
inline constexpr int kClassKeyNoClass = 45219;
inline constexpr int kClassKeyByTickerFailed = 45220;
inline constexpr int kClassKeyByIsinFailed = 45221;
inline constexpr int kClassKeyWithoutClassName = 45222;
inline constexpr int kOneCompanyFailed = 25367;
inline constexpr int kOneCompanyKeyNotCnpj = 25368;
inline constexpr int kJsonRecordWithoutCompanyKey = 50101;

// The companies a key names, in the server's order; 0, or the code that tells why there are none.
// With cachedLookup a company code is found in the process's company-by-code cache.
int ResolveCompanyKey(std::string_view token1, std::string_view token2, bool cachedLookup,
                      std::vector<int>& companies);
int ResolveCompanyKey(const TCompanyKey& key, bool cachedLookup, std::vector<int>& companies);

// The classes a class key names: the company key pair and a class name (which the ticker and ISIN
// forms do not need).
int ResolveClassKey(std::string_view token1, std::string_view token2, std::string_view className,
                    std::vector<int>& classes);

// The one company that a CNPJ key names at a date.
int ResolveOneCompanyByCnpj(std::string_view token1, std::string_view token2, TDayNumber date, int& company);

// The attributes of a JSON record that may name a company.
class TKeyAttributes {
 public:
  virtual ~TKeyAttributes() = default;
  // False when the record has no such attribute, or it is not of that type.
  virtual bool TextAttribute(std::string_view name, std::string& value) const = 0;
  virtual bool NumberAttribute(std::string_view name, double& value) const = 0;
};

// The company key of a JSON record: the first pair present of companyid/country, cnpj/country,
// ticker/exchange and isin/exchange (a text and a number each); 50101 when there is none.
int JsonCompanyKey(const TKeyAttributes& record, TCompanyKey& key);

}  // namespace zi
