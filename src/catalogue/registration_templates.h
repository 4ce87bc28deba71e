#pragma once
// The registration templates: which indicators an object shows, by the template of its series or,
// failing that, the one the rules give for its class's asset type and its company's country.

#include <string>
#include <vector>

namespace zi {

inline constexpr int kFormatoDeCadastroNaoListado = 35008;
inline constexpr int kSemFormatoDeCadastro = 35009;

struct TFormatoDeCadastro {
  int Id = 0;
  int Pais = 0;
  int Ordem = 0;
  std::string TituloPT, TituloEN, TituloES;
};

struct TRegraDeFormatoDeCadastro {
  int TipoObj = 0;
  int Pais = 0;
  int IdFDC = 0;
};

inline constexpr int kLinhaDeIndicador = 2;

struct TLinhaDeFormato {
  int IdFDC = 0;
  int IdLinha = 0;
  int EAA = 0;  // the level of the line's indicator
  int TipoLinhaFormato = 0;
  int P1 = 0;  // the indicator of a line of type 2
  std::string StrPT, StrEN, StrES;
  bool VisivelNoZor = false;
};

// A (level, indicator) pair of a template.
struct TIndicadorDoFormato {
  int nivel = 0;
  int indicador = 0;
  friend bool operator==(const TIndicadorDoFormato&, const TIndicadorDoFormato&) = default;
};

// The templates with their rules and lines, read once per process; Esquece makes the next use read
// them again.
class TFormatosDeCadastro {
 public:
  int GaranteLidos();
  void Esquece();

  // The (level, indicator) pairs of the lines of type 2 of a template whose level is among niveis,
  // in line order, each pair once: of the template idFdc, or, when it is 0, of the first rule for
  // the asset type and the country. 35008 for a template that is not listed, 35009 when no rule
  // gives a listed one.
  int Linhas(int idFdc, int tipoObj, int pais, const std::vector<int>& niveis,
             std::vector<TIndicadorDoFormato>& linhas);

  const std::vector<TFormatoDeCadastro>& Formatos() const { return formatos_; }

 private:
  bool lidos_ = false;
  std::vector<TFormatoDeCadastro> formatos_;
  std::vector<TRegraDeFormatoDeCadastro> regras_;
  std::vector<TLinhaDeFormato> linhas_;
};

TFormatosDeCadastro& FormatosDeCadastro();

struct TAplicacaoDoIndicador {
  bool aplica = false;
  int nivel = 0;  // the level of the first line naming it; the object's own level where one does
};

// Whether the indicator applies to the object of that level (0 series, 1 class, 2 company): it is
// among the template lines of any series of the object's company.
int IndicadorAplicavel(int indicador, int nivel, int objeto, TAplicacaoDoIndicador& aplicacao);

}  // namespace zi
