#pragma once
// Plugs in the property register's and the portfolios' JSON record types and the *PORTFOLIO
// directive.

namespace zi {

void RegisterPortfolioDirectives();

// The parts it plugs in.
void RegisterPortfolioTextDirective();

}  // namespace zi
