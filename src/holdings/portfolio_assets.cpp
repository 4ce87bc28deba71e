#include "holdings/portfolio_assets.h"

#include "holdings/ptf_asset.h"
#include "holdings/registry_import.h"
#include "import/run.h"
#include "toolbox/text.h"

namespace zi {

int PortfolioAssetByDoc(const std::string& doc, int32_t country, bool mayClean, int32_t& id) {
  TPtfAssetTvmRec asset;
  THolderFound found;
  const int code = DbPtfAssetTvmGetByDocPais(doc, country, "", mayClean, asset, found);
  if (code == 0) id = asset.id;
  return code;
}

int PortfolioAssetForLine(TImpMain& run, const std::string& doc, int32_t country, bool mayClean, int32_t& id) {
  if (run.CachedCompanyLookup()) return TPtfAssetTvmRegistry::FindInIndex(doc, country, mayClean, id);
  return PortfolioAssetByDoc(doc, country, mayClean, id);
}

bool PortfolioAssetAddedByRun(TImpMain& run, const std::string& doc, int32_t country) {
  return HolderRunState(run).assets.added.Contains(UpperAscii(doc), country);
}

std::string PortfolioAssetName(int32_t id) { return PtfAssetTvmName(id); }

}  // namespace zi
