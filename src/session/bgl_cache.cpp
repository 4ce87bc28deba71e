#include "session/bgl_cache.h"

#include "db/connection.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

TTipoDeBGLDestinoCache::Tickers& TTipoDeBGLDestinoCache::ListOf(int exchange) {
  if (auto it = exchanges_.find(exchange); it != exchanges_.end()) return it->second;
  db::TDataSetHolder ds(db::ZiDb(), "GetTiposDeBGLDestinoDaBolsa");
  if (!ds) throw EZorInputException(3939);
  ds->SetInteger("@bolsa", exchange);
  int code = db::ZiDb().ExecStProc(*ds, 2);
  if (code != 0) {
    Loga("TTipoDeBGLDestinoCache bolsa:" + std::to_string(exchange) + " erro:" + std::to_string(code));
    throw EZorInputException(code);
  }
  Tickers tickers;
  for (; !ds->Eof(); ds->Next()) tickers[Trim(ds->FieldAsText("cod"))] = {ds->FieldAsInteger("TipoDeBGLDestino"), 0};
  return exchanges_[exchange] = std::move(tickers);
}

// A ticker that neither the list nor the catalogue knows is not remembered: it may be added later
// in the run, and a cache never answers a wrong "not found".
std::optional<std::pair<int, int>> TTipoDeBGLDestinoCache::TipoDoTicker(int exchange, const std::string& ticker) {
  if (last_ && last_->exchange == exchange && last_->ticker == ticker) return last_->answer;
  Tickers& tickers = ListOf(exchange);
  auto it = tickers.find(ticker);
  if (it == tickers.end()) {
    std::optional<std::pair<int, int>> found = lookup_ ? lookup_(exchange, ticker) : std::nullopt;
    if (!found) return std::nullopt;
    it = tickers.emplace(ticker, *found).first;
  }
  last_ = Question{exchange, ticker, it->second};
  return it->second;
}

TTipoDeBGLDestinoCache& TipoDeBGLDestinoCache() {
  static TTipoDeBGLDestinoCache cache;
  return cache;
}

}  // namespace zi
