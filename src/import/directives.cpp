#include "import/directives.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace zi {

namespace {

using K = TDirectiveKind;
constexpr bool kBlock = true;
constexpr bool kWritesObjects = true;

constexpr std::string_view kQuotes = "quotes";
constexpr std::string_view kStatements = "financial statements";
constexpr std::string_view kAccounts = "accounts and formats";
constexpr std::string_view kCorporateActions = "corporate actions";
constexpr std::string_view kNews = "news";
constexpr std::string_view kObjects = "companies, classes and series";
constexpr std::string_view kReference = "reference data";
constexpr std::string_view kIndicators = "indicators";
constexpr std::string_view kShareBase = "share base";
constexpr std::string_view kHolders = "shareholders and portfolio assets";
constexpr std::string_view kCompositions = "shareholding compositions";
constexpr std::string_view kPortfolios = "portfolios";
constexpr std::string_view kEngine = "import engine";

// Sorted by keyword, so that a lookup is a binary search. *SHAREHOLDERS and *PORTFOLIO read their
// item lines up to END like the blocks of statements and news.
constexpr auto kTable = [] {
  std::array<TDirective, 59> table{{
      {"*APRESFBAL", K::Flag, kAccounts, kBlock},
      {"*BLOCOCBAL", K::Flag, kAccounts},
      {"*BLOCOPADRAONADIGITACAO", K::Flag, kReference},
      {"*BOLCOT", K::Code, kQuotes},
      {"*BOLSA", K::Flag, kReference},
      {"*CA", K::Flag, kCorporateActions},
      {"*CADELETE", K::Flag, kCorporateActions},
      {"*CAUPSERT", K::Flag, kCorporateActions},
      {"*CBAL", K::Code, kAccounts},
      {"*CLASSREG", K::Code, kIndicators},
      {"*CLASSREGADDITEMIFNEW", K::Code, kIndicators},
      {"*CLASSREGREPEATDATE", K::Code, kIndicators},
      {"*COMREG", K::Code, kIndicators, false, kWritesObjects},
      {"*COMREGADDITEMIFNEW", K::Code, kIndicators, false, kWritesObjects},
      {"*COMREGREPEATDATE", K::Code, kIndicators},
      {"*CURRENCY", K::Flag, kReference},
      {"*DELCBAL", K::Flag, kAccounts},
      {"*DELQT", K::Code, kQuotes},
      {"*EAAREG", K::Code, kIndicators, false, kWritesObjects},
      {"*EAAREGADDITEMIFNEW", K::Code, kIndicators, false, kWritesObjects},
      {"*EAAREGIFEXISTS", K::Code, kIndicators, false, kWritesObjects},
      {"*FBAL", K::Flag, kAccounts},
      {"*FS", K::Code, kStatements, kBlock},
      {"*FSIFNEW", K::Code, kStatements, kBlock},
      {"*FSIFNEWER", K::Code, kStatements, kBlock},
      {"*FSNEWDB", K::Code, kStatements, kBlock},
      {"*FSUPDATE", K::Code, kStatements, kBlock},
      {"*HIDENOZORINPUT", K::Flag, kReference},
      {"*IDENTIFICACAODECONTAS", K::Flag, kReference},
      {"*ISIN", K::Code, kObjects, false, kWritesObjects},
      {"*LISTCHOICE", K::Code, kReference},
      {"*NAICS", K::Code, kObjects, false, kWritesObjects},
      {"*NAICSIF", K::Code, kObjects, false, kWritesObjects},
      {"*NW", K::Flag, kNews, kBlock},
      {"*OBJCLASS", K::Code, kObjects, false, kWritesObjects},
      {"*OBJEMP", K::Code, kObjects, false, kWritesObjects},
      {"*OBJEMPABREV", K::Code, kObjects, false, kWritesObjects},
      {"*OBJSERIE", K::Code, kObjects, false, kWritesObjects},
      {"*OCOLOCA", K::Builtin, kEngine},
      {"*OCOTIPO", K::Flag, kReference},
      {"*PAIS", K::Flag, kReference},
      {"*PFITEM", K::Code, kHolders},
      {"*PFITEMIFDOCISNEW", K::Code, kHolders},
      {"*PORTFOLIO", K::Code, kPortfolios, kBlock},
      {"*QT", K::Code, kQuotes},
      {"*QTIF", K::Code, kQuotes},
      {"*QTNOOVERWRITE", K::Code, kQuotes},
      {"*REQGBOL", K::Builtin, kEngine},
      {"*SERIEREG", K::Code, kIndicators},
      {"*SERIEREGADDITEMIFNEW", K::Code, kIndicators},
      {"*SERIEREGREPEATDATE", K::Code, kIndicators},
      {"*SERIESTATUS", K::Code, kObjects, false, kWritesObjects},
      {"*SHAREHOLDER", K::Code, kHolders},
      {"*SHAREHOLDERIFDOCISNEW", K::Code, kHolders},
      {"*SHAREHOLDERS", K::Code, kCompositions, kBlock},
      {"*SHARES", K::Code, kShareBase},
      {"*SHARESUPDATE", K::Code, kShareBase},
      {"*TIPOOBJ", K::Builtin, kEngine},
      {"*VOTINGSTATUS", K::Flag, kReference},
  }};
  return table;
}();

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const TDirective& a, const TDirective& b) { return a.keyword < b.keyword; }));

// One slot per row of the table, so that finding a line's handler costs nothing once its row is found.
std::array<TDirectiveHandler, kTable.size()>& Handlers() {
  static std::array<TDirectiveHandler, kTable.size()> handlers;
  return handlers;
}

size_t RowOf(const TDirective& directive) { return static_cast<size_t>(&directive - kTable.data()); }

}  // namespace

std::span<const TDirective> DirectiveTable() { return kTable; }

const TDirective* FindDirective(std::string_view keyword) {
  const auto it = std::lower_bound(kTable.begin(), kTable.end(), keyword,
                                   [](const TDirective& d, std::string_view k) { return d.keyword < k; });
  return it != kTable.end() && it->keyword == keyword ? &*it : nullptr;
}

void SetDirectiveHandler(std::string_view keyword, TDirectiveHandler handler) {
  const TDirective* directive = FindDirective(keyword);
  if (!directive || directive->kind == TDirectiveKind::Builtin) {
    throw std::logic_error("no family may handle the directive " + std::string(keyword));
  }
  Handlers()[RowOf(*directive)] = std::move(handler);
}

const TDirectiveHandler* DirectiveHandler(const TDirective& directive) {
  const TDirectiveHandler& handler = Handlers()[RowOf(directive)];
  return handler ? &handler : nullptr;
}

}  // namespace zi
