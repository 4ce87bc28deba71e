#pragma once
// The portfolio assets that securities items point to, as the portfolios look them up.

#include <cstdint>
#include <string>

namespace zi {

class TImpMain;

// The asset of a document in a country: 0 with its id, or the lookup's code (4178 not found).
int PortfolioAssetByDoc(const std::string& doc, int32_t country, bool mayClean, int32_t& id);
// The asset of a document line of *PORTFOLIO: through the run's document index when the run looks
// companies up in the caches, else asking the server; 0 with its id, or the code.
int PortfolioAssetForLine(TImpMain& run, const std::string& doc, int32_t country, bool mayClean, int32_t& id);
// Whether the run's earlier lines create the asset of the document in the country.
bool PortfolioAssetAddedByRun(TImpMain& run, const std::string& doc, int32_t country);
// The asset's name for the windows.
std::string PortfolioAssetName(int32_t id);

}  // namespace zi
