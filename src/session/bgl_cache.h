#pragma once
// The bulletin destination type (0 to 11) of each ticker, by exchange, as the quote directives
// ask for it: one question per ticker, or an exchange's whole list at once.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zi {

inline constexpr int kTickerNotFound = 4042;
inline constexpr int kTypeOutOfRange = 4044;

// Only definitive answers are kept: a type, 4042 (no series of the exchange has the ticker) or
// 4044 (its type lies outside 0 to 11), from the server's answer about the ticker or from the
// exchange's list. A question that failed otherwise is asked again the next time. What a change
// of series makes wrong is forgotten by whoever changes them.
class TTipoDeBGLDestinoCache {
 public:
  // Asks the server about one ticker: 0 with its type, 4042, 4044, or the code of a failure.
  using TickerQuestion = std::function<int(const std::string& ticker, int exchange, int& type)>;

  // 0 with the type, or the code of the answer. Tickers compare as the server compares them:
  // without regard to the case of ASCII letters.
  int TipoDoTicker(int exchange, std::string_view ticker, int& type);
  // Reads every ticker of the exchange at once: afterwards a ticker missing from the list is
  // answered 4042 without a question. 0, or the code of a read that failed (nothing is kept).
  int Preload(int exchange);
  bool Preloaded(int exchange) const;

  // A series of the ticker was added, changed or deleted.
  void Forget(int exchange, std::string_view ticker);
  // Series changed in ways not known one by one.
  void ForgetAll();

  void SetTickerQuestion(TickerQuestion question) { question_ = std::move(question); }

 private:
  struct Answer {
    int code = 0;
    int type = 0;
  };
  struct NoCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const;
  };
  struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  struct Exchange {
    bool complete = false;  // the list was read whole: a missing ticker has no series
    std::unordered_map<std::string, Answer, NoCaseHash, NoCaseEqual> tickers;
  };

  static Answer AnswerOfType(int type);

  std::map<int, Exchange> exchanges_;
  TickerQuestion question_;
};

// The process's cache, created on first use.
TTipoDeBGLDestinoCache& TipoDeBGLDestinoCache();

}  // namespace zi
