#include "catalogue/objects.h"

#include <string_view>

#include "session/builtin_tables.h"
#include "session/reference_data.h"
#include "session/session.h"

namespace zi {

namespace {
constexpr std::string_view kLetrasDeStatus = "LGENTXMQRSUW";
}

std::string LetraDoStatus(int tipoDeBGLDestino) {
  if (tipoDeBGLDestino < 0 || tipoDeBGLDestino >= static_cast<int>(kLetrasDeStatus.size())) return {};
  return std::string(1, kLetrasDeStatus[static_cast<size_t>(tipoDeBGLDestino)]);
}

std::string LetraDoStatusNaLista(int tipoDeBGLDestino) {
  return tipoDeBGLDestino == 0 ? std::string() : LetraDoStatus(tipoDeBGLDestino);
}

std::string LabelDaEmp(const tObjEmp& emp) {
  std::string pais = emp.pais >= 0 && emp.pais < kCountryCount ? Listas().EnumPais.TextoDoId(emp.pais, false)
                                                                : std::to_string(emp.pais);
  return "[" + emp.nome + "-" + pais + " #" + std::to_string(emp.id) + "]";
}

TDireitosDeObj DireitosDeObj() {
  const bool admin = ZiGlobs().IsAdmin;
  TDireitosDeObj d;
  d.PodeAlterarPaisDaEmp = RightC();
  d.PodeSourceDiferenteDeLocal = RightD();
  d.PodeMudarEmpDoAtv = admin;
  d.PodeClasseEstrangeira = RightB();
  d.PodeMudarAtvDoAnb = admin;
  d.PodeTodosOsTiposDeBGL = RightA();
  d.PodeMarcarTrazDadosDaEmp = admin;
  d.PodeAlterarCalendario = admin;
  d.PodeMudarAtvDoAnbPraCima = PodeMudarAtvDoAnbPraCima();
  return d;
}

std::vector<int> SourcesVisiveis() {
  if (RightD()) return {0, 2};
  return {0};
}

}  // namespace zi
