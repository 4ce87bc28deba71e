#pragma once
// The session's reference lists, loaded at every login and checked against the built-in tables;
// the writers that change them on the server; the data log.

#include <functional>
#include <string>

#include "session/int_stg_list.h"
#include "toolbox/db_value.h"

namespace zi {

class TMessageWindow;

// The lists of the session, one per source.
struct TReferenceLists {
  tIntStgList EnumPais{"EnumPais"};
  tIntStgList EnumPaisCod{"EnumPaisCod"};
  tIntStgList EnumPaisDoUsr{"EnumPaisDoUsr"};
  tIntStgList EnumBaseDeDadosComercializavel{"EnumBaseDeDadosComercializavel"};
  tIntStgListMultiLng EnumTipoAplicacao{"EnumTipoAplicacao", "", true};
  tIntStgListMultiLng EnumPfItemTipoClassificacao{"EnumPfItemTipoClassificacao", "", true};
  tIntStgList EnumMoeda{"EnumMoeda"};
  tIntStgList EnumAbrevMoeda{"EnumAbrevMoeda"};
  tIntStgList EnumFmtBal{"EnumFmtBal"};
  tIntStgList EnumBolsa{"EnumBolsa"};
  tIntStgList EnumVote{"EnumVote"};
  tIntStgList EnumTipoObj{"EnumTipoObj"};
  tIntStgListMultiLng EnumTipoDeContrato{"EnumTipoDeContrato", "", true};
  tIntStgList EnumOcoAbrv{"EnumOcoAbrv"};
  tIntStgList EnumOcoNome{"EnumOcoNome"};
  tIntStgList EnumBlocoDeContaBal{"EnumBlocoDeContaBal"};
  tIntStgList EnumClasses{"EnumClasses"};
  tIntStgList EnumCidade{"EnumCidade"};
  tIntStgList EnumDataLogTipo{"EnumDataLogTipo"};
  // Filled by the program.
  tIntStgList TiposDeBGLDestino{"TiposDeBGLDestino"};
  tIntStgList Estados{"Estados"};
};

TReferenceLists& Listas();
// The value list of a field code; nullptr for a code without one.
tIntStgListMultiLng* GetCampoListaDeValores(int fieldCode);
// Forgets what the value lists and the class names hold: each is read again on its next use. For
// writes that were rolled back after they changed a list.
void EsqueceListasDeObjetos();
// Fills the lists the program itself holds (bulletin destination types, record states).
void PreencheListasFixas();

// Loads every list (forgetting what it held) and checks them; 0 or the code that ends the login.
int CarregaDadosIniciais(TMessageWindow* window);
// What the login reads after the lists ("- def indicadores"): the catalogue's indicator
// definitions; 0 or the code that ends the login.
void SetIndicatorDefinitionsLoader(std::function<int()> loader);

int TestaEnumPaisCod();
int TestaEnumMoeda();
int TestaEnumDataLogTipo();
// Marks the classes that have children and reports parents that are missing or circular.
void ChecaClasses();

int PaisDaBolsa(int exchangeId);

// The writers of reference data: 0 or the server's code.
int PaisPut(int id, const std::string& cod, const std::string& nome);
int MoedaPut(int id, const std::string& cod, int pais, const std::string& nome);
int BolsaPut(int id, int pais, const std::string& cod, const std::string& codIso10383, int idAnbIndice, int flag,
             int idCalendario, const std::string& outrosCodigosAceitos);
int VoteStatPut(int id, const std::string& cod);
int HideNoZorInputPut(int idConta);
int BlocoPadraoNaDigitacaoPut(int num, int idConta);
int IdentificacaoDeContasPut(int identificacao, int idConta);
int OcoTipoPut(int id, int seq, const std::string& abrv, const std::string& nome, const std::string& lb1,
               const std::string& lb2);
int AddListChoice(int fieldCode, bool isNew, int itemId, const std::string& doc, const std::string& nomePT,
                  const std::string& nomeEN, const std::string& nomeES);

int DataLogAdd(int type, int objectId, int auxId, TDateTime date, const std::string& text);

}  // namespace zi
