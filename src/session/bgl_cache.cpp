#include "session/bgl_cache.h"

#include "db/connection.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kMaxType = 11;
constexpr int kNoCommand = 3939;

char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDefinitive(int code) { return code == 0 || code == kTickerNotFound || code == kTypeOutOfRange; }

}  // namespace

size_t TTipoDeBGLDestinoCache::NoCaseHash::operator()(std::string_view text) const {
  size_t hash = 1469598103934665603ULL;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(LowerChar(c))) * 1099511628211ULL;
  return hash;
}

bool TTipoDeBGLDestinoCache::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
  return SameTextAscii(a, b);
}

TTipoDeBGLDestinoCache::Answer TTipoDeBGLDestinoCache::AnswerOfType(int type) {
  if (type < 0 || type > kMaxType) return {kTypeOutOfRange, 0};
  return {0, type};
}

int TTipoDeBGLDestinoCache::TipoDoTicker(int exchange, std::string_view ticker, int& type) {
  type = 0;
  Exchange& list = exchanges_[exchange];
  if (const auto found = list.tickers.find(ticker); found != list.tickers.end()) {
    type = found->second.type;
    return found->second.code;
  }
  if (list.complete) return kTickerNotFound;
  if (!question_) return kNoCommand;
  Answer answer;
  answer.code = question_(std::string(ticker), exchange, answer.type);
  answer = answer.code == 0 ? AnswerOfType(answer.type) : Answer{answer.code, 0};
  if (IsDefinitive(answer.code)) list.tickers.emplace(std::string(ticker), answer);
  type = answer.type;
  return answer.code;
}

int TTipoDeBGLDestinoCache::Preload(int exchange) {
  db::TDataSetHolder ds(db::ZiDb(), "GetTiposDeBGLDestinoDaBolsa");
  if (!ds) return ds.Failure(kNoCommand);
  ds->SetInteger("@bolsa", exchange);
  const int code = db::ZiDb().ExecStProc(*ds, 2);
  if (code != 0) {
    Loga("TTipoDeBGLDestinoCache bolsa:" + std::to_string(exchange) + " erro:" + std::to_string(code));
    return code;
  }
  Exchange list;
  try {
    for (; !ds->Eof(); ds->Next())
      list.tickers.emplace(Trim(ds->FieldAsText("cod")), AnswerOfType(ds->FieldAsInteger("TipoDeBGLDestino")));
  } catch (const std::exception& e) {
    int failed = 0;
    ReportExceptionWithCode("TTipoDeBGLDestinoCache bolsa:" + std::to_string(exchange), failed, e, kNoCommand);
    return failed;
  }
  list.complete = true;
  exchanges_[exchange] = std::move(list);
  return 0;
}

bool TTipoDeBGLDestinoCache::Preloaded(int exchange) const {
  const auto found = exchanges_.find(exchange);
  return found != exchanges_.end() && found->second.complete;
}

void TTipoDeBGLDestinoCache::Forget(int exchange, std::string_view ticker) {
  const auto found = exchanges_.find(exchange);
  if (found == exchanges_.end()) return;
  // The list no longer tells that a ticker missing from it has no series.
  found->second.complete = false;
  if (const auto entry = found->second.tickers.find(ticker); entry != found->second.tickers.end())
    found->second.tickers.erase(entry);
}

void TTipoDeBGLDestinoCache::ForgetAll() { exchanges_.clear(); }

TTipoDeBGLDestinoCache& TipoDeBGLDestinoCache() {
  static TTipoDeBGLDestinoCache cache;
  return cache;
}

}  // namespace zi
