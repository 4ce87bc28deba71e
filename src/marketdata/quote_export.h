#pragma once
// The quote export: the quotes of the series of a country and a type of asset over a date range,
// written as *QT lines that the import reads back as they are.

#include <optional>
#include <string>
#include <string_view>

#include "marketdata/quote_calls.h"
#include "toolbox/dates.h"

namespace zi {

// "country;type;first date;last date;file", dates as YYYY-MM-DD.
struct TQuoteExportSelection {
  int country = 0;
  int assetType = 0;
  TDayNumber first;
  TDayNumber last;
  std::string file;  // the system's bytes
};
// nullopt unless the text holds exactly those five words, integers and real dates among them.
std::optional<TQuoteExportSelection> ParseQuoteExportSelection(std::string_view text);

// *QT "TICKER" EXCHANGE YYYY-MM-DD and the 27 values in their shortest form, "-" where there is
// none. A ticker holding a double quote goes between apostrophes.
std::string QuoteExportLine(std::string_view ticker, int exchange, const TQuoteRecord& day);

// Writes the file (replacing one that exists, once the whole export succeeded): 0 or the code.
int ExportaCotacoes(std::string_view selection);

}  // namespace zi
