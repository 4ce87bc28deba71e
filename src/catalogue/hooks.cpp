#include "catalogue/hooks.h"

#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/indicator_definitions.h"
#include "catalogue/registration_templates.h"
#include "session/bgl_cache.h"
#include "session/reference_data.h"

namespace zi {

namespace {

int RecarregaIndicadores() {
  FormatosDeCadastro().Esquece();
  return DefIndicadores().Carrega();
}

}  // namespace

void InstallCatalogueHooks() {
  TipoDeBGLDestinoCache().SetTickerQuestion(
      [](const std::string& ticker, int exchange, int& type) { return GetTipoDeBGLDaAnb(ticker, exchange, type); });
  SetIndicatorDefinitionsLoader(RecarregaIndicadores);
}

}  // namespace zi
