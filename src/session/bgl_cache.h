#pragma once
// The bulletin destination type of each ticker, by exchange, loaded once per exchange.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace zi {

class TTipoDeBGLDestinoCache {
 public:
  // The destination type and extra value of a ticker that is not in its exchange's list; supplied
  // by the object catalogue. nullopt when the ticker is unknown there too.
  using TickerLookup = std::function<std::optional<std::pair<int, int>>(int exchange, const std::string& ticker)>;

  // The two values of a ticker; nullopt when neither the exchange's list nor the lookup knows it.
  // Raises EZorInputException with the server's code when the exchange's list cannot be read.
  std::optional<std::pair<int, int>> TipoDoTicker(int exchange, const std::string& ticker);
  void SetTickerLookup(TickerLookup lookup) { lookup_ = std::move(lookup); }

 private:
  using Tickers = std::map<std::string, std::pair<int, int>>;
  Tickers& ListOf(int exchange);

  std::map<int, Tickers> exchanges_;
  TickerLookup lookup_;
  struct Question {
    int exchange;
    std::string ticker;
    std::pair<int, int> answer;
  };
  std::optional<Question> last_;
};

// The process's cache, created on first use.
TTipoDeBGLDestinoCache& TipoDeBGLDestinoCache();

}  // namespace zi
