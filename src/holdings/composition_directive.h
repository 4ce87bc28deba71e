#pragma once
// The *SHAREHOLDERS block: a header line naming the company and the dates, then one item line per
// shareholder (or the TOTAL and FREE-FLOAT lines) up to END; the import pass writes the
// composition to every company that the key names.

#include <cstdint>
#include <string>

namespace zi {

// One item line as read.
struct _UmItemCompAcionaria {
  std::string doc;
  int32_t n = 0;  // of IdShareHolderNoPais:
  int32_t pais = 0;
  int32_t IdShareholder = 0;
  double comvoto = 0;
  double semvoto = 0;
  double total = 0;
};

// The shareholder id that "IdShareHolderNoPais:" + n names in a country: country * 10000 + n for n
// below 10000, else (country + 100) * 100000 + n - 10000. False when the id is not in 1..2^31-1.
bool IdShareHolderNoPais(int64_t n, int64_t pais, int32_t& id);

void RegisterCompositionDirective();

}  // namespace zi
