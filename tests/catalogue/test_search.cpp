#include <gtest/gtest.h>

#include "catalogue/catalogue.h"

namespace zi {
namespace {

TEST(CompanySearch, TextIsTrimmedAndLosesItsQuotes) {
  const struct {
    const char* typed;
    const char* sent;
  } cases[] = {{"  acme ", "acme"}, {"O'Neil \"Co\"", "ONeil Co"}, {"\"'", ""}, {"", ""}, {" 'a b' ", "a b"}};
  for (const auto& c : cases) EXPECT_EQ(TextoDaBusca(c.typed), c.sent) << c.typed;
}

TEST(CompanySearch, LabelAndWhereToLook) {
  using O = TOndeBuscar;
  const struct {
    const char* text;
    bool mine;
    O onde;
    int sent;
    const char* label;
  } cases[] = {
      {"acme", true, O::NomeDaEmp, 0,
       "Searching MY companies and exchanges only for company names containing \"acme\"."},
      {"PET", true, O::Ticker, 1, "Searching MY companies and exchanges only for stock tickers containing \"PET\"."},
      {"PETR4", false, O::TickerExato, 2,
       "Searching all companies and exchanges for stock tickers exactly like \"PETR4\"."},
      {"a'b", false, O::NomeOuTicker, 3,
       "Searching all companies and exchanges for company names or stock tickers containing \"ab\"."},
      {"", true, O::NomeOuTicker, 0, "Searching MY companies and exchanges only."},
      {"  ", false, O::Ticker, 0, "Searching all companies and exchanges."},
      {"\"\"", false, O::TickerExato, 0, "Searching all companies and exchanges."},
  };
  for (const auto& c : cases) {
    TBuscaDeEmp busca{c.text, c.mine, c.onde};
    EXPECT_EQ(OndeDaBusca(busca), c.sent) << c.text;
    EXPECT_EQ(LabelDaBusca(busca), c.label) << c.text;
  }
  EXPECT_EQ(OndeDaBusca(TBuscaDeEmp{"x"}), 3) << "names or tickers by default";
  EXPECT_TRUE(TBuscaDeEmp{}.soMeuPais);
}

}  // namespace
}  // namespace zi
