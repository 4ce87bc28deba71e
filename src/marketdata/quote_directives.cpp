#include "marketdata/quote_directives.h"

#include <array>
#include <set>
#include <string>

#include <fmt/format.h>

#include "catalogue/catalogue.h"
#include "db/sql_errors.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "marketdata/bulletin_collector.h"
#include "marketdata/quote_calls.h"
#include "session/bgl_cache.h"
#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

enum class TVariant { Overwrite, NoOverwrite, Conditional };

constexpr int kConditionMark = 4392;
constexpr int kConditionPosition = 4393;
constexpr int kConditionOperator = 4394;
constexpr int kConditionTerm = 4395;
constexpr int kConditionExtra = 4396;
constexpr int kServerTickerNotFound = 3757;
constexpr int kServerKeptStored = 4383;
constexpr int kConditionNotMet = 4390;
constexpr int kProvisionalFound = 1;

constexpr double kDefaultLimit = 1e20;
// A file longer than this reads each exchange's bulletin types whole rather than ticker by ticker.
constexpr int kPreloadAbove = 100;
constexpr int kMaxBulletinType = 11;
// *BOLCOT without a type names the bulletins of types 0 to 6.
constexpr int kLastDefaultBulletinType = 6;

constexpr std::array<std::string_view, 11> kOperators = {"###", "=*", "<>*", "<*", ">*", "**",
                                                         "!!",  "=",  "<>",  "<",  ">"};

constexpr const char* kEmptyTicker = "Empty <ticker>";
constexpr const char* kInvalidExchange = "Invalid <exchange>";
constexpr const char* kInvalidDate = "Invalid <date>";
constexpr const char* kInvalidFromDate = "Invalid from <date>";
constexpr const char* kInvalidToDate = "Invalid to <date>";
constexpr const char* kInvalidFieldCount = "Invalid # of fields";
constexpr const char* kTooBigWarning = "ImpCot Warn:{} ticker:{}/{} very big value <vlr#{}:{}>";
constexpr const char* kLimitNotANumber = "MaxQTFieldValue \"{}\" is not a number: the limit is 1e20";

// What the quote lines of one run share.
class TQuoteRunState : public TRunState {
 public:
  // A run starts from what the server says now: another process may have added series since the
  // last run of this session.
  TQuoteRunState() : limit_(ReadLimit()) { TipoDeBGLDestinoCache().ForgetAll(); }

  double Limit() const { return limit_; }
  // Whether this run has yet to read the exchange's types whole; true once per exchange.
  bool FirstPreload(int exchange) { return preloaded_.insert(exchange).second; }
  // The definitive ticker of a provisional one; empty when it has none.
  const std::string& Definitive(const std::string& provisional) {
    const auto known = definitive_.find(provisional);
    if (known != definitive_.end()) return known->second;
    std::string definitive;
    int company = 0;
    int series = 0;
    if (GetRegistroCodCVMparaAnbima(provisional, definitive, company, series) != kProvisionalFound) definitive.clear();
    return definitive_[provisional] = definitive;
  }
  TQuoteImport& Line() { return line_; }

 private:
  static double ReadLimit() {
    std::string text;
    if (!PegaParam("MaxQTFieldValue", text)) return kDefaultLimit;
    if (const std::optional<double> limit = ParseDecimal(Trim(text))) return *limit;
    Loga(fmt::format(kLimitNotANumber, text));
    return kDefaultLimit;
  }

  double limit_;
  std::set<int> preloaded_;
  std::map<std::string, std::string> definitive_;
  TQuoteImport line_;
};

// A code without a text of its own is already written "error:" and the code: it is not labelled twice.
std::string ImpCotError(std::string_view prefix, std::string_view ticker, int exchange, int code) {
  const std::string text = db::SqlErrorText(code);
  return std::string(prefix) + std::string(ticker) + "/" + std::to_string(exchange) + " " +
         (text.starts_with("error:") ? "" : "error:") + text;
}

bool KnownExchange(int exchange) { return Listas().EnumBolsa.ItemDoId(exchange) != nullptr; }

bool ReadExchange(std::string_view token, int& exchange) {
  int32_t value = 0;
  if (!ReadIntegerField(token, value) || !KnownExchange(value)) return false;
  exchange = value;
  return true;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    const size_t start = at;
    while (at < text.size() && text[at] != ' ' && text[at] != '\t') ++at;
    if (at > start) words.push_back(text.substr(start, at - start));
  }
  return words;
}

// The key of a quote line: ticker, exchange, date.
int ReadKey(TImpMain& run, TQuoteImport& line) {
  tParserWrapper& tokens = run.Tokens();
  line.ticker = Trim(tokens.Token(1));
  if (line.ticker.empty()) {
    run.ErrorMessage(kEmptyTicker);
    return kQuoteTicker;
  }
  if (!ReadExchange(tokens.Token(2), line.exchange)) {
    run.ErrorMessage(kInvalidExchange);
    return kQuoteExchange;
  }
  if (!ReadRequiredDateField(tokens.Token(3), line.date)) {
    run.ErrorMessage(kInvalidDate);
    return kQuoteDate;
  }
  return 0;
}

// Values 1 to 27 from the token at first, then no more fields. A value above the limit marks the
// line too big: it is checked and counted, but not written.
int ReadValues(TImpMain& run, TQuoteImport& line, int first, double limit, bool& tooBig) {
  tParserWrapper& tokens = run.Tokens();
  tooBig = false;
  line.keep.reset();
  for (int i = 0; i < kQuoteValues; ++i) {
    const std::string_view field = tokens.Token(first + i);
    double& value = line.values[static_cast<size_t>(i)];
    if (field == "*") {
      value = kMissing;
      line.keep.set(static_cast<size_t>(i));
      continue;
    }
    if (!ReadNumberField(field, value)) {
      run.ErrorMessage("Invalid <vlr#" + std::to_string(i + 1) + ":" + std::string(field) + ">");
      return kQuoteValue;
    }
    if (!IsMissing(value) && limit != 0 && value > limit) {
      tooBig = true;
      Loga(fmt::format(kTooBigWarning, kQuoteTooBig, line.ticker, line.exchange, i + 1, field));
    }
  }
  // Mended: every field after the last value is looked at, not only the next ten.
  for (int i = first + kQuoteValues; i < tokens.Count(); ++i) {
    const std::string_view field = tokens.Token(i);
    if (field.empty()) continue;
    run.ErrorMessage(std::string(kInvalidFieldCount) + " : <" + std::string(field) + ">");
    return kQuoteFieldCount;
  }
  return 0;
}

// The bulletin type of the line's series. A provisional ticker that no series has is answered for
// the definitive ticker it maps to, which the line is then written under.
int ResolveTicker(TImpMain& run, TQuoteRunState& state, TQuoteImport& line, int& type) {
  TTipoDeBGLDestinoCache& cache = TipoDeBGLDestinoCache();
  if (run.LineCount() > kPreloadAbove && state.FirstPreload(line.exchange) && !cache.Preloaded(line.exchange)) {
    // Failing that, the tickers are asked one by one.
    cache.Preload(line.exchange);
  }
  int code = cache.TipoDoTicker(line.exchange, line.ticker, type);
  if (code == kTickerNotFound && line.ticker.find("-provis") != std::string::npos) {
    const std::string& definitive = state.Definitive(line.ticker);
    if (!definitive.empty()) {
      code = cache.TipoDoTicker(line.exchange, definitive, type);
      if (code != kTickerNotFound) line.ticker = definitive;
    }
  }
  return code;
}

int WriteLine(TImpMain& run, const TQuoteImport& line, std::string_view ticker) {
  const int code = DbCotacaoImportV4(line);
  if (code == 0) return 0;
  run.ErrorMessage(ImpCotError("ImpCot ", ticker, line.exchange, code), code == kConditionNotMet);
  const bool notAnError = code == kServerTickerNotFound || code == kServerKeptStored || code == kConditionNotMet;
  return notAnError ? 0 : code;
}

TDirectiveOutcome QuoteLine(TImpMain& run, TVariant variant) {
  TQuoteRunState& state = run.State<TQuoteRunState>();
  TQuoteImport& line = state.Line();
  line.noOverwrite = variant == TVariant::NoOverwrite;
  line.ifOperador = 0;
  line.ifValorTermo1 = 0;
  line.ifTermo2 = 0;
  if (const int code = ReadKey(run, line)) return {false, code};
  int firstValue = 4;
  if (variant == TVariant::Conditional) {
    TQuoteCondition condition;
    if (const int code = ReadQuoteCondition(run.Tokens().Token(4), condition)) return {false, code};
    line.ifOperador = condition.op;
    line.ifValorTermo1 = condition.position;
    line.ifTermo2 = condition.term;
    firstValue = 5;
  }
  bool tooBig = false;
  if (const int code = ReadValues(run, line, firstValue, state.Limit(), tooBig)) return {false, code};
  const std::string ticker = line.ticker;
  int type = 0;
  const int answer = ResolveTicker(run, state, line, type);
  if (answer == kTickerNotFound) {
    run.ErrorMessage(ImpCotError("ImpCot ", ticker, line.exchange, answer), true);
    return {};
  }
  if (answer != 0) {
    run.ErrorMessage(ImpCotError("ImpCot ", ticker, line.exchange, answer));
    return {false, answer};
  }
  TMakeUpBolCot& bulletins = run.State<TMakeUpBolCot>();
  if (run.ToNoCheck()) {
    bulletins.CountQuote(line.exchange, type, line.date);
    return {};
  }
  if (tooBig) return {};
  line.naoLogar = bulletins.IsBulletin(line.exchange, type, line.date);
  return {true, WriteLine(run, line, ticker)};
}

// Mended: the range's dates must be real dates; "-" would have deleted a series' whole history.
TDirectiveOutcome DelQuotes(TImpMain& run) {
  tParserWrapper& tokens = run.Tokens();
  if (tokens.Count() != 5) {
    run.ErrorMessage(kInvalidFieldCount);
    return {false, kQuoteFieldCount};
  }
  const std::string ticker = Trim(tokens.Token(1));
  int exchange = 0;
  TDayNumber from;
  TDayNumber to;
  const struct {
    bool ok;
    const char* message;
    int code;
  } checks[] = {
      {!ticker.empty(), kEmptyTicker, kQuoteTicker},
      {ReadExchange(tokens.Token(2), exchange), kInvalidExchange, kQuoteExchange},
      {ReadRequiredDateField(tokens.Token(3), from), kInvalidFromDate, kQuoteDate},
      {ReadRequiredDateField(tokens.Token(4), to), kInvalidToDate, kQuoteDate},
  };
  for (const auto& check : checks) {
    if (check.ok) continue;
    run.ErrorMessage(check.message);
    return {false, check.code};
  }
  if (run.ToNoCheck()) return {};
  const int code = DbCotacaoImportDelRange(ticker, exchange, from, to);
  if (code == 0) return {};
  run.ErrorMessage(ImpCotError("ImpCotDelRange ", ticker, exchange, code));
  return {true, code == kServerTickerNotFound ? 0 : code};
}

TDirectiveOutcome BolCot(TImpMain& run) {
  tParserWrapper& tokens = run.Tokens();
  if (tokens.Count() < 3 || tokens.Count() > 4) {
    run.ErrorMessage(kInvalidFieldCount);
    return {false, kBolCotFieldCount};
  }
  int exchange = 0;
  if (!ReadExchange(tokens.Token(1), exchange)) {
    run.ErrorMessage(kInvalidExchange);
    return {false, kBolCotExchange};
  }
  TDayNumber date;
  if (!ReadRequiredDateField(tokens.Token(2), date)) {
    run.ErrorMessage(kInvalidDate);
    return {false, kBolCotDate};
  }
  int32_t type = -1;
  if (tokens.Count() == 4 && (!ReadIntegerField(tokens.Token(3), type) || type < 0 || type > kMaxBulletinType)) {
    return {false, kBolCotType};
  }
  if (!run.ToNoCheck()) return {};
  TMakeUpBolCot& bulletins = run.State<TMakeUpBolCot>();
  if (type >= 0) {
    bulletins.ForceBulletin(exchange, type, date);
  } else {
    for (int t = 0; t <= kLastDefaultBulletinType; ++t) bulletins.ForceBulletin(exchange, t, date);
  }
  return {};
}

}  // namespace

int ReadQuoteCondition(std::string_view field, TQuoteCondition& condition) {
  const std::vector<std::string_view> words = Words(field);
  auto word = [&](size_t i) { return i < words.size() ? words[i] : std::string_view(); };
  if (word(0) != "#") return kConditionMark;
  int32_t position = 0;
  if (!ReadIntegerField(word(1), position)) return kConditionPosition;
  int op = 0;
  for (size_t i = 0; i < kOperators.size(); ++i)
    if (word(2) == kOperators[i]) op = static_cast<int>(i) + 1;
  if (op == 0) return kConditionOperator;
  double term = 0;
  if (!ReadNumberField(word(3), term)) return kConditionTerm;
  if (words.size() > 4) return kConditionExtra;
  condition = {op, position, term};
  return 0;
}

void RegisterQuoteDirectives() {
  SetDirectiveHandler("*QT", [](TImpMain& run, const TDirective&) { return QuoteLine(run, TVariant::Overwrite); });
  SetDirectiveHandler("*QTNOOVERWRITE",
                      [](TImpMain& run, const TDirective&) { return QuoteLine(run, TVariant::NoOverwrite); });
  SetDirectiveHandler("*QTIF", [](TImpMain& run, const TDirective&) { return QuoteLine(run, TVariant::Conditional); });
  SetDirectiveHandler("*DELQT", [](TImpMain& run, const TDirective&) { return DelQuotes(run); });
  SetDirectiveHandler("*BOLCOT", [](TImpMain& run, const TDirective&) { return BolCot(run); });
}

}  // namespace zi
