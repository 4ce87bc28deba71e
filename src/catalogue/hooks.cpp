#include "catalogue/hooks.h"

#include <string>

#include "catalogue/catalogue.h"
#include "session/bgl_cache.h"

namespace zi {

void InstallCatalogueHooks() {
  TipoDeBGLDestinoCache().SetTickerQuestion(
      [](const std::string& ticker, int exchange, int& type) { return GetTipoDeBGLDaAnb(ticker, exchange, type); });
}

}  // namespace zi
