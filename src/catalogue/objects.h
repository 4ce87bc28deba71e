#pragma once
// The three levels of the object tree (company, class, series), the rows of lists that walk it, and
// what the session allows the user to do with them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zi {

inline constexpr int kNivelSerie = 0;
inline constexpr int kNivelClasse = 1;
inline constexpr int kNivelEmpresa = 2;

inline constexpr int kSourcesDeBal = 8;
// Sources 0..3 have a statement-format slot in the company record.
inline constexpr int kSourcesComFormato = 4;
inline constexpr int kMaxSourceComFormato = kSourcesComFormato - 1;

struct tObjEmp {
  int32_t id = 0;
  std::string cod;
  int32_t pais = -1;
  std::string cnpj;
  std::string nome;
  std::array<int32_t, kSourcesDeBal> moedabal{-1, 0, 0, 0, 0, 0, 0, 0};
  std::array<int32_t, kSourcesComFormato> fmtbal{};
  int32_t naics = 0;
  int32_t moedaInformeFIDC = 0;

  bool operator==(const tObjEmp&) const = default;
};

struct tObjAtv {
  int32_t id = 0;
  int32_t emp = 0;
  int32_t idclass = 0;
  int32_t vote = -1;
  int32_t tipoobj = -1;

  bool operator==(const tObjAtv&) const = default;
};

struct tObjAnb {
  int32_t id = 0;
  int32_t acao = 0;
  std::string cod;
  int32_t bolsa = -1;
  uint8_t TipoDeBGLDestino = 0;
  int32_t moedacot = -1;
  int32_t PaisProCodZor = -1;
  int32_t FormatoDeCadastro = 0;
  bool cancelado = false;
  bool TrazDadosDaEmp = false;
  bool NaoAparecerNoZor = false;
  bool SerieMontada = false;
  int32_t IdCalendario = 0;
  int32_t DisableCopy = 0;
  int32_t TipoDeContrato = -1;
  int32_t MapaFaskel = 0;
  int32_t OverrideGruposCampoCotacao = 0;
  bool NaoAparecerNoOmbrel = false;

  bool operator==(const tObjAnb&) const = default;
};

// One row of a list that walks companies, classes and series; a class id of 0 stands for a company
// without classes, a series id of 0 for a class without series.
struct tObjHierEx {
  int32_t EmpId = 0;
  int32_t AtvId = 0;
  int32_t AnbId = 0;
  std::string EmpNome;
  int32_t EmpPais = 0;
  int32_t AtvIdClass = 0;
  uint8_t AtvTipoObj = 0;
  std::string AnbCod;
  int32_t AnbBolsa = 0;
  uint8_t AnbTipoDeBGLDestino = 0;
  bool AnbCancelado = false;
  // Delivered by the server and kept, though nothing reads it.
  int32_t AnbColuna13 = 0;
  int32_t AnbFormatoDeCadastro = 0;

  bool operator==(const tObjHierEx&) const = default;
};

// The letter of a series status 0..11 ("L" for 0); empty outside that range.
std::string LetraDoStatus(int tipoDeBGLDestino);
// What a list shows: the letter, but nothing for status 0.
std::string LetraDoStatusNaLista(int tipoDeBGLDestino);

// "[name-country #id]", the country named by the session's country list when it is 0..79.
std::string LabelDaEmp(const tObjEmp& emp);

// The rights sent with the add and change procedures, read from the session when asked for.
struct TDireitosDeObj {
  bool PodeAlterarPaisDaEmp = false;
  bool PodeSourceDiferenteDeLocal = false;
  bool PodeMudarEmpDoAtv = false;
  bool PodeClasseEstrangeira = false;
  bool PodeMudarAtvDoAnb = false;
  bool PodeTodosOsTiposDeBGL = false;
  bool PodeMarcarTrazDadosDaEmp = false;
  bool PodeAlterarCalendario = false;
  bool PodeMudarAtvDoAnbPraCima = false;

  bool operator==(const TDireitosDeObj&) const = default;
};
TDireitosDeObj DireitosDeObj();

// The statement sources whose currency and format the user sees: 0 and 2, or 0 alone.
std::vector<int> SourcesVisiveis();

}  // namespace zi
