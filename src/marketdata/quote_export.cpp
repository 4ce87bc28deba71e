#include "marketdata/quote_export.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "db/connection.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr const char* kCaption = "Quote export";
constexpr const char* kStartLine = "ExportaCotacoes ";
constexpr const char* kBadSelection =
    "ExportaCotacoes error:{}: the selection is not country;type;first date;last date;file";

struct TSeriesRow {
  int id = 0;
  std::string ticker;
  int exchange = 0;
};

std::vector<std::string_view> SplitAt(std::string_view text, char delimiter) {
  std::vector<std::string_view> words;
  for (size_t start = 0;;) {
    const size_t end = text.find(delimiter, start);
    words.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return words;
    start = end + 1;
  }
}

void AppendNumber(std::string& out, double value) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

// Only program-formatted integers enter the SQL text: the selection's words were read as numbers.
int SelectSeries(const TQuoteExportSelection& selection, std::vector<TSeriesRow>& series) {
  const std::string sql = "select AnbId,AnbCod,AnbBolsa from ObjListRoot where   (EmpPais = " +
                          std::to_string(selection.country) + ")" + "   and" + "   (AtvTipoObj = " +
                          std::to_string(selection.assetType) + ")";
  db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, sql);
  if (!ds) return ds.Failure(3939);
  if (const int code = db::ZiDb().OpenSql(*ds)) return code;
  try {
    for (; !ds->Eof(); ds->Next()) {
      // A class without series lists no series.
      if (ds->Field("AnbId").IsNull()) continue;
      series.push_back({ds->FieldAsInteger("AnbId"), ds->FieldAsText("AnbCod"), ds->FieldAsInteger("AnbBolsa")});
    }
  } catch (const std::exception& e) {
    int code = 0;
    ReportExceptionWithCode("ExportaCotacoes", code, e, 3939);
    return code;
  }
  return 0;
}

int WriteSeries(std::ostream& out, const TQuoteExportSelection& selection, const TSeriesRow& series, int& quotes) {
  if (series.ticker.find('"') != std::string::npos && series.ticker.find('\'') != std::string::npos) {
    Loga(std::string(kStartLine) + "ticker " + series.ticker + " holds both quote characters erro:" +
         std::to_string(kQuoteExportTickerQuotes));
    return kQuoteExportTickerQuotes;
  }
  std::vector<TQuoteRecord> days;
  if (const int code = DbCotacaoDaAnbV2(series.id, selection.first, selection.last, days)) {
    Loga(std::string(kStartLine) + series.ticker + "/" + std::to_string(series.exchange) + " erro:" +
         std::to_string(code));
    return code;
  }
  for (const TQuoteRecord& day : days) out << QuoteExportLine(series.ticker, series.exchange, day) << "\r\n";
  quotes += static_cast<int>(days.size());
  return out ? 0 : kQuoteExportNotWritten;
}

}  // namespace

std::optional<TQuoteExportSelection> ParseQuoteExportSelection(std::string_view text) {
  const std::vector<std::string_view> words = SplitAt(text, ';');
  if (words.size() != 5) return std::nullopt;
  TQuoteExportSelection selection;
  const std::optional<int32_t> country = ParseInteger(Trim(words[0]));
  const std::optional<int32_t> type = ParseInteger(Trim(words[1]));
  const std::optional<TDayNumber> first = ParseIsoDate(Trim(words[2]));
  const std::optional<TDayNumber> last = ParseIsoDate(Trim(words[3]));
  if (!country || !type || !first || !last || words[4].empty()) return std::nullopt;
  return TQuoteExportSelection{*country, *type, *first, *last, std::string(words[4])};
}

std::string QuoteExportLine(std::string_view ticker, int exchange, const TQuoteRecord& day) {
  const char quote = ticker.find('"') == std::string_view::npos ? '"' : '\'';
  std::string line = "*QT ";
  line += quote;
  line += ticker;
  line += quote;
  line += " " + std::to_string(exchange) + " " + FormatIsoDate(day.date);
  for (const double value : day.values) {
    line += ' ';
    if (IsMissing(value)) line += '-';
    else AppendNumber(line, value);
  }
  return line;
}

int ExportaCotacoes(std::string_view text) {
  const std::unique_ptr<TMessageWindow> window = CreateMessageWindow(kCaption);
  const std::optional<TQuoteExportSelection> selection = ParseQuoteExportSelection(text);
  if (!selection) {
    Loga(fmt::format(kBadSelection, kQuoteExportSelection));
    return kQuoteExportSelection;
  }
  Loga(kStartLine + PathText(text));
  std::vector<TSeriesRow> series;
  if (const int code = SelectSeries(*selection, series)) return code;
  // The file that exists is replaced only by a whole export.
  const std::string temporary = selection->file + ".tmp";
  int code = 0;
  int quotes = 0;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) code = kQuoteExportNotWritten;
    for (size_t i = 0; code == 0 && i < series.size(); ++i) {
      if (window)
        window->SetLine(1, std::to_string(i + 1) + "/" + std::to_string(series.size()) + " " + series[i].ticker + "/" +
                               std::to_string(series[i].exchange));
      code = WriteSeries(out, *selection, series[i], quotes);
    }
    out.close();
    if (code == 0 && !out) code = kQuoteExportNotWritten;
  }
  std::error_code error;
  if (code == 0) std::filesystem::rename(temporary, selection->file, error);
  if (code == 0 && error) code = kQuoteExportNotWritten;
  if (code != 0) std::filesystem::remove(temporary, error);
  if (window) window->Close();
  Loga(std::string(kStartLine) + "end " + PathText(selection->file) + " series:" + std::to_string(series.size()) +
       " quotes:" + std::to_string(quotes) + (code == 0 ? std::string(" ok") : " erro:" + std::to_string(code)));
  return code;
}

}  // namespace zi
