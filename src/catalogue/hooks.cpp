#include "catalogue/hooks.h"

#include <optional>
#include <string>
#include <utility>

#include "catalogue/catalogue.h"
#include "catalogue/indicator_definitions.h"
#include "catalogue/registration_templates.h"
#include "session/bgl_cache.h"
#include "session/reference_data.h"

namespace zi {

namespace {

// The status of the series and its id; none when the series cannot be found or read.
std::optional<std::pair<int, int>> TipoDaSerie(int bolsa, const std::string& ticker) {
  int id = 0;
  if (GetIdAnb(ticker, std::to_string(bolsa), id) != 0) return std::nullopt;
  tObjAnb anb;
  if (DbObjAnbGet(id, anb) != 0) return std::nullopt;
  return std::pair<int, int>{anb.TipoDeBGLDestino, anb.id};
}

int RecarregaIndicadores() {
  FormatosDeCadastro().Esquece();
  return DefIndicadores().Carrega();
}

}  // namespace

void InstallCatalogueHooks() {
  TipoDeBGLDestinoCache().SetTickerLookup(TipoDaSerie);
  SetIndicatorDefinitionsLoader(RecarregaIndicadores);
}

}  // namespace zi
