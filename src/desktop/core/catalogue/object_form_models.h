#pragma once
// The logic of the company, class and series forms: which fields they show and enable for the
// user's rights, what their picks list, and how Okay turns the fields into the record and the
// indicator entries, or keeps the form open with the focus on the field to mend.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/indicators.h"
#include "catalogue/objects.h"
#include "desktop/core/catalogue/indicator_box.h"

namespace zi::desktop {

inline constexpr int kClasseSemNomes = 4126;
inline constexpr int kClasseCancelada = 4127;
inline constexpr int kErroNosCamposDaEmp = 4164;
inline constexpr int kErroNosIndicadores = 4165;

// The field a form focuses when Okay keeps it open.
enum class TCampo {
  Nenhum,
  Indicador,
  ClasseNome,
  Empresa,
  ClasseDaSerie,
  Calendario,
  Formato,
  MapaFaskel,
  Override,
};

struct TOkay {
  bool ok = false;
  TCampo foco = TCampo::Nenhum;
  int indicador = 0;  // with TCampo::Indicador
  int code = 0;
  static TOkay Ok() { return {.ok = true}; }
  static TOkay StayOpen(TCampo foco, int code = 0, int indicador = 0) {
    return {.ok = false, .foco = foco, .indicador = indicador, .code = code};
  }
};

// Typing into a pick selects the last entry whose text contains the typed text (in any case); -1
// when none does.
int UltimoQueContem(const TPickList& itens, std::string_view digitado);

// The indicator box of a form with its fields, and the Okay step that reads them into a copy of
// the caller's set, which takes the copy's entries only when the whole box was read.
class TBoxDoForm {
 public:
  TBoxInd& Box() { return box_; }
  const TBoxInd& Box() const { return box_; }
  TCamposDoBox& Campos() { return campos_; }
  // Lays the box out again, keeping what was typed in the indicators that stay.
  int Monta(const TIndicadoresDeEmpAtvAnb& set, int nivel, int pais, int tipoObj, int formato,
            const std::vector<int>& tiposDasClasses);
  TOkay Okay(TIndicadoresDeEmpAtvAnb& set, const char* classe) const;
  // The field of one indicator shows its entry again (after its history was edited).
  void Recarrega(const TIndicadoresDeEmpAtvAnb& set, int indicador);

 private:
  TBoxInd box_;
  TCamposDoBox campos_;
};

// --- Company ---------------------------------------------------------------------------------

struct TEmpEntries {
  std::string nome, cod, cnpj;
  int pais = -1;
  std::array<int32_t, kSourcesDeBal> moedabal{};
  int32_t moedaInformeFIDC = 0;
  std::array<int32_t, kSourcesComFormato> fmtbal{};
  int32_t naics = 0;
};

class CompanyFormModel {
 public:
  static constexpr int kLimiteNome = 50;
  static constexpr int kLimiteCod = 16;
  static constexpr int kLimiteCnpj = 14;

  // Fills from the record and the indicator set; the box follows the country.
  void Preenche(const tObjEmp& emp, const TIndicadoresDeEmpAtvAnb& set);

  bool PaisHabilitado() const { return paisHabilitado_; }
  // The statement sources whose currency pick the form shows, and those (0..3) whose format pick.
  const std::vector<int>& SourcesDeMoeda() const { return sourcesDeMoeda_; }
  const std::vector<int>& SourcesDeFormato() const { return sourcesDeFormato_; }
  static std::string LabelDoSource(int source);

  TPickList Paises() const;
  TPickList Moedas() const;
  TPickList Formatos() const;

  TEmpEntries& Entries() { return entries_; }
  TBoxDoForm& Box() { return box_; }
  // The box for the country now chosen.
  int MudaPais(const TIndicadoresDeEmpAtvAnb& set);

  // Okay: the record and the set take what was entered, or the form stays open.
  TOkay Okay(tObjEmp& emp, TIndicadoresDeEmpAtvAnb& set);

 private:
  tObjEmp lido_;
  bool paisHabilitado_ = false;
  std::vector<int> sourcesDeMoeda_, sourcesDeFormato_;
  std::vector<int> tiposDasClasses_;
  TEmpEntries entries_;
  TBoxDoForm box_;
};

// --- Class -----------------------------------------------------------------------------------

struct TAtvEntries {
  int idclass = 0;  // 0: no name chosen
  int vote = -1;
  int tipoobj = -1;
  bool estrangeira = false;
  std::string emp;  // the company number
};

class ClassFormModel {
 public:
  // Reads the company and fills the picks: 0, the read's code (the form is not shown: a cancel), or
  // 4126 when the pick has no name.
  int Preenche(const tObjAtv& atv, const TIndicadoresDeEmpAtvAnb& set);

  bool CheckHabilitado() const { return direitos_.PodeClasseEstrangeira; }
  bool CheckVisivel() const { return direitos_.PodeClasseEstrangeira || estrangeiraLida_; }
  bool BotaoEmpresaVisivel() const { return admin_; }
  const TPickList& Classes() const { return classes_; }
  TPickList Votos() const;
  TPickList TiposDeAtivo() const;

  TAtvEntries& Entries() { return entries_; }
  TBoxDoForm& Box() { return box_; }
  // The check box was ticked or unticked: the pick lists all names or the country's, the same
  // text selected again (the index, -1 when the list lacks it). The text is taken by value: it may
  // be an entry of the list being replaced.
  int MudaEstrangeira(bool todas, std::string textoSelecionado);
  int MudaTipoDeAtivo(const TIndicadoresDeEmpAtvAnb& set);

  TOkay Okay(tObjAtv& atv, TIndicadoresDeEmpAtvAnb& set);

 private:
  TPickList ClassesDoPais(int incluida) const;
  TPickList TodasAsClasses() const;

  tObjAtv lido_;
  int pais_ = 0;
  bool admin_ = false;
  bool estrangeiraLida_ = false;
  TDireitosDeObj direitos_;
  TPickList classes_;
  TAtvEntries entries_;
  TBoxDoForm box_;
};

// --- Series ----------------------------------------------------------------------------------

struct TAnbEntries {
  std::string cod;
  int bolsa = -1;
  int estado = 0;  // 0 active, 1 inactive
  int status = 0;  // the status list's entry (users with every status)
  bool statusMarcado = false;  // the status check box (the others)
  int moedacot = -1;
  bool TrazDadosDaEmp = false;
  bool NaoAparecerNoZor = false;
  bool NaoAparecerNoOmbrel = false;
  bool DisableCopy = false;
  std::string calendario, formato, mapa, override_, classe;
  int contrato = -1;
};

class SeriesFormModel {
 public:
  static constexpr int kLimiteTicker = 16;
  static constexpr int kLimiteCalendario = 2;
  static constexpr int kLimiteNumero = 3;

  // Reads the series' class and its company; a failure raises EZorInputException with its code.
  void Preenche(const tObjAnb& anb, const TIndicadoresDeEmpAtvAnb& set);

  bool ListaDeStatus() const { return direitos_.PodeTodosOsTiposDeBGL; }
  bool CheckDeStatusHabilitado() const { return lido_.TipoDeBGLDestino == 0 || lido_.TipoDeBGLDestino == 5; }
  static std::string LabelDoCheckDeStatus();
  bool TrazDadosVisivel() const { return admin_; }
  bool CalendarioHabilitado() const { return admin_; }
  bool BotaoClasseVisivel() const { return admin_; }

  TPickList Bolsas() const;
  TPickList Estados() const;
  TPickList Status() const;
  TPickList Moedas() const;
  TPickList Contratos() const;

  TAnbEntries& Entries() { return entries_; }
  TBoxDoForm& Box() { return box_; }
  // The box for the registration template now typed; a text that is not a number keeps the box.
  int MudaFormato(const TIndicadoresDeEmpAtvAnb& set);

  TOkay Okay(tObjAnb& anb, TIndicadoresDeEmpAtvAnb& set);

 private:
  tObjAnb lido_;
  int pais_ = 0;
  int tipoObj_ = 0;
  bool admin_ = false;
  TDireitosDeObj direitos_;
  TAnbEntries entries_;
  TBoxDoForm box_;
};

}  // namespace zi::desktop
