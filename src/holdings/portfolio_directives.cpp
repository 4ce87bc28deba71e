#include "holdings/portfolio_directives.h"

#include "holdings/real_estate.h"

namespace zi {

void RegisterPortfolioDirectives() { RegisterRealEstateJsonTypes(); }

}  // namespace zi
