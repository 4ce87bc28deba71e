#include "holdings/portfolio_directives.h"

#include "holdings/portfolio.h"
#include "holdings/real_estate.h"

namespace zi {

void RegisterPortfolioDirectives() {
  RegisterRealEstateJsonTypes();
  RegisterPortfolioJsonType();
  RegisterPortfolioTextDirective();
}

}  // namespace zi
