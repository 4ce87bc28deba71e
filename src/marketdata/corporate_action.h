#pragma once
// The corporate-action record, its fresh external key, the table of the 72 types with their
// description templates and the fields each type uses, and the description line of a record.

#include <cstdint>
#include <string>
#include <string_view>

#include "toolbox/dates.h"
#include "toolbox/numbers.h"

namespace zi {

struct tPrvento {
  int32_t id = 0;
  int32_t anb = 0;
  TDayNumber udex;
  int32_t seq = 0;
  int32_t tipo = 0;
  int32_t moeda = 0;
  double acoes = 0;
  double valor = 0;
  std::string chaveExterna;
  TDayNumber dtAprv;
  TDayNumber dtPgto;

  bool operator==(const tPrvento&) const = default;
};

// "ZOR-" and a newly generated GUID in upper-case hexadecimal, 8-4-4-4-12.
std::string NewChaveExterna();
// All zero but the type and currency (-1), with a fresh external key.
tPrvento BlankPrvento();

inline constexpr int kPrvTipos = 72;

// What the quantity field of a type means.
enum class TPrvQuantity { None, Shares, Percent, Factor };

struct TPrvUsage {
  bool currencyAndValue = false;
  TPrvQuantity quantity = TPrvQuantity::None;
};

// The type's template in the session language; a type outside 0..71 has the generic one.
std::string PrvTemplate(int tipo);
// What the type's template shows: "@V" uses the currency and the value, "@A%" a percentage, any
// other "@A" a number of shares.
TPrvUsage PrvUsage(int tipo);
// "Shares", "Percent" or "Factor"; empty for a type without quantity.
std::string_view PrvQuantityCaption(TPrvQuantity quantity);

// The template with "@A" as the quantity, "@V" as the currency name, a blank and the value, "@@"
// as "@", and "[@x?]" for any other letter; a placeholder without a value shows the quantity.
std::string FillPrvTemplate(std::string_view templ, const tPrvento& prv, std::string_view currencyName);
// The ex-date as the regional settings show it, the order as two digits, two blanks and the
// filled template; the currency named as the session's currency list names it.
std::string PrvDescriptionLine(const tPrvento& prv);
std::string PrvDescriptionLine(const tPrvento& prv, std::string_view currencyName);

}  // namespace zi
