#include "session/reference_data.h"

#include <functional>
#include <map>
#include <memory>

#include "db/connection.h"
#include "session/builtin_tables.h"
#include "session/login.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kNoConnection = 3718;
constexpr int kCountryCodeMismatch = 3701;
constexpr int kCurrencyOutOfRange = 3719;
constexpr int kObjectTypeZeroUnmarked = 4369;
constexpr int kDataLogCountDiffers = 32155;
constexpr int kDataLogIdOutOfRange = 32156;
constexpr int kDataLogNameDiffers = 32157;
constexpr int kMaxClassDepth = 50;

std::map<int, std::unique_ptr<tIntStgListMultiLng>>& ValueLists() {
  static std::map<int, std::unique_ptr<tIntStgListMultiLng>> lists;
  return lists;
}

std::function<int()>& IndicatorDefinitionsLoader() {
  static std::function<int()> loader;
  return loader;
}

void Reload(tIntStgList& list) {
  list.Limpa();
  list.GaranteLido();
}

void Show(TMessageWindow* window, int line, const std::string& text) {
  if (window) window->SetLine(line, text);
}

std::string LastWord(const std::string& text) {
  size_t blank = text.find_last_of(' ');
  return blank == std::string::npos ? text : text.substr(blank + 1);
}

// Runs a writer procedure once; on success the lists it changes forget their items.
int CallWriter(const char* procedure, const std::function<void(db::TDbCommand&)>& setInputs,
               std::initializer_list<tIntStgList*> changed = {}) {
  db::TDataSetHolder ds(db::ZiDb(), procedure);
  if (!ds) return ds.Failure(3939);
  setInputs(*ds);
  int code = db::ZiDb().ExecStProc(*ds, 0);
  if (code == 0)
    for (tIntStgList* list : changed) list->Limpa();
  return code;
}

}  // namespace

TReferenceLists& Listas() {
  static TReferenceLists lists;
  return lists;
}

tIntStgListMultiLng* GetCampoListaDeValores(int fieldCode) {
  if (!TemListaDeValores(fieldCode)) return nullptr;
  auto& list = ValueLists()[fieldCode];
  if (!list)
    list = std::make_unique<tIntStgListMultiLng>("GetCampoListaDeValores", "AddItemCampoListaValores", false,
                                                 "@formatocampo", fieldCode);
  return list.get();
}

void EsqueceListasDeObjetos() {
  for (auto& [fieldCode, list] : ValueLists()) list->Limpa();
  Listas().EnumClasses.Limpa();
}

void PreencheListasFixas() {
  TReferenceLists& l = Listas();
  l.Estados.Limpa();
  for (int state : {0, 1}) l.Estados.Adiciona(state, NomeDoEstado(state), 0);
  l.TiposDeBGLDestino.Limpa();
  for (int type = 0; type < kBulletinDestinationTypes; ++type)
    l.TiposDeBGLDestino.Adiciona(type, NomeDoTipoDeBGL(type), type <= 6 ? 0 : 1);
}

int TestaEnumPaisCod() {
  tIntStgList& list = Listas().EnumPaisCod;
  for (int i = 0; i < list.Conta(); ++i) {
    const tIntStg* item = list.Item(i);
    if (PaisDoCodigo(item->text) != item->id) {
      Loga("- TestaEnumPaisCod error s:" + item->text + " e:" + std::to_string(item->id));
      return kCountryCodeMismatch;
    }
  }
  return 0;
}

int TestaEnumMoeda() {
  tIntStgList& list = Listas().EnumMoeda;
  for (int i = 0; i < list.Conta(); ++i) {
    const tIntStg* item = list.Item(i);
    int code = 0;
    std::string additions;
    if (item->id < 0 || item->id >= kCurrencyCount) {
      code = kCurrencyOutOfRange;
    } else {
      if (item->grupo != PaisDaMoeda(item->id)) additions += " PaisDaMoeda:" + std::to_string(PaisDaMoeda(item->id));
      if (LastWord(item->text) != SimboloDaMoeda(item->id)) additions += " SimboloDaMoeda:" + SimboloDaMoeda(item->id);
    }
    if (code != 0 || !additions.empty())
      Loga("- TestaEnumMoeda error/warning s:" + item->text + " e:" + std::to_string(item->id) +
           " pais:" + std::to_string(item->grupo) + " erro:" + std::to_string(code) + " " + additions);
    if (code != 0) return code;
  }
  return 0;
}

int TestaEnumDataLogTipo() {
  tIntStgList& list = Listas().EnumDataLogTipo;
  if (list.Conta() != kDataLogTypeCount) {
    Loga("- TestaEnumDataLogTipo error: the amount differs between the enum and the table DataLogTipo");
    return kDataLogCountDiffers;
  }
  for (int i = 0; i < list.Conta(); ++i) {
    const tIntStg* item = list.Item(i);
    if (item->id < 0 || item->id >= kDataLogTypeCount) {
      Loga("- TestaEnumDataLogTipo error: the item listed in the database is greater than what exists in the "
           "application");
      return kDataLogIdOutOfRange;
    }
    std::string name = DataLogTipoName(item->id);
    if (!name.empty() && name != item->text) {
      Loga("- TestaEnumDataLogTipo error: enum description is different between db and application s:" + item->text +
           " e:" + std::to_string(item->id));
      return kDataLogNameDiffers;
    }
  }
  return 0;
}

void ChecaClasses() {
  tIntStgList& classes = Listas().EnumClasses;
  for (int position = 0; position < classes.Conta(); ++position) {
    const tIntStg* item = classes.Item(position);
    if (item->aux == 0) continue;
    if (!classes.MarcaFlags(item->aux, kClassHasChildren)) {
      Loga("Warning: Class #" + std::to_string(position) + " filha de " + std::to_string(item->aux) + " nao existe!");
      continue;
    }
    // A bounded walk: a cycle among the parents is reported, never followed for ever.
    const tIntStg* step = item;
    int depth = 0;
    while (step && step->aux != 0 && depth <= kMaxClassDepth) {
      step = classes.ItemDoId(step->aux);
      ++depth;
    }
    if (depth > kMaxClassDepth)
      Loga("Warning: Class #" + std::to_string(position) + " tem circular reference de maes");
  }
}

int CarregaDadosIniciais(TMessageWindow* window) {
  Show(window, 1, "Reading initial data");
  if (!EstaConectado(false)) return kNoConnection;
  TReferenceLists& l = Listas();
  auto step = [&](const char* line, std::initializer_list<tIntStgList*> lists) {
    Show(window, 2, line);
    for (tIntStgList* list : lists) Reload(*list);
  };
  step("- countries", {&l.EnumPais, &l.EnumPaisCod, &l.EnumPaisDoUsr});
  step("- databases", {&l.EnumBaseDeDadosComercializavel, &l.EnumTipoAplicacao, &l.EnumPfItemTipoClassificacao});
  Show(window, 2, "- names");
  for (int code = 0; code < kValueListFieldCodes; ++code)
    if (tIntStgListMultiLng* list = GetCampoListaDeValores(code)) Reload(*list);
  step("- currencies", {&l.EnumMoeda, &l.EnumAbrevMoeda});
  step("- FS templates", {&l.EnumFmtBal});
  step("- exchanges", {&l.EnumBolsa});
  step("- voting status", {&l.EnumVote});
  step("- types of asset", {&l.EnumTipoObj, &l.EnumTipoDeContrato});
  step("- CA abbreviations", {&l.EnumOcoAbrv});
  step("- CA names", {&l.EnumOcoNome});
  step("- FS blocks", {&l.EnumBlocoDeContaBal});
  step("- classes", {&l.EnumClasses});
  step("- cities", {&l.EnumCidade});
  step("- data log type", {&l.EnumDataLogTipo});
  ChecaClasses();
  Show(window, 2, "- def indicadores");
  int code = IndicatorDefinitionsLoader() ? IndicatorDefinitionsLoader()() : 0;
  if (code != 0) return code;
  Show(window, 2, "- checking consistency");
  code = TestaEnumPaisCod();
  if (code == 0) code = TestaEnumMoeda();
  if (code == 0) code = TestaEnumDataLogTipo();
  if (code == 0 && !l.EnumTipoObj.TemMarca(0, "RDbD")) code = kObjectTypeZeroUnmarked;
  return code;
}

void SetIndicatorDefinitionsLoader(std::function<int()> loader) { IndicatorDefinitionsLoader() = std::move(loader); }

int PaisDaBolsa(int exchangeId) { return Listas().EnumBolsa.GrupoDoId(exchangeId, "PaisDaB", false); }

int PaisPut(int id, const std::string& cod, const std::string& nome) {
  return CallWriter(
      "PaisPut",
      [&](db::TDbCommand& ds) {
        ds.SetInteger("@id", id);
        ds.SetText("@cod", cod);
        ds.SetText("@nome", nome);
      },
      {&Listas().EnumPais, &Listas().EnumPaisCod, &Listas().EnumPaisDoUsr});
}

int MoedaPut(int id, const std::string& cod, int pais, const std::string& nome) {
  return CallWriter(
      "MoedaPut",
      [&](db::TDbCommand& ds) {
        ds.SetInteger("@id", id);
        ds.SetText("@cod", cod);
        ds.SetInteger("@pais", pais);
        ds.SetText("@nome", nome);
      },
      {&Listas().EnumMoeda, &Listas().EnumAbrevMoeda});
}

int BolsaPut(int id, int pais, const std::string& cod, const std::string& codIso10383, int idAnbIndice, int flag,
             int idCalendario, const std::string& outrosCodigosAceitos) {
  return CallWriter(
      "BolsaPut",
      [&](db::TDbCommand& ds) {
        ds.SetInteger("@id", id);
        ds.SetInteger("@pais", pais);
        ds.SetText("@cod", cod);
        ds.SetText("@codiso10383", codIso10383);
        ds.SetInteger("@idanbindice", idAnbIndice);
        ds.SetInteger("@flag", flag);
        ds.SetInteger("@idcalendario", idCalendario);
        ds.SetText("@outroscodigosaceitos", outrosCodigosAceitos);
      },
      {&Listas().EnumBolsa});
}

int VoteStatPut(int id, const std::string& cod) {
  return CallWriter(
      "VoteStatPut",
      [&](db::TDbCommand& ds) {
        ds.SetInteger("@id", id);
        ds.SetText("@cod", cod);
      },
      {&Listas().EnumVote});
}

int HideNoZorInputPut(int idConta) {
  return CallWriter("HideNoZorInputPut", [&](db::TDbCommand& ds) { ds.SetInteger("@IdConta", idConta); });
}

int BlocoPadraoNaDigitacaoPut(int num, int idConta) {
  return CallWriter("BlocoPadraoNaDigitacaoPut", [&](db::TDbCommand& ds) {
    ds.SetInteger("@Num", num);
    ds.SetInteger("@IdConta", idConta);
  });
}

int IdentificacaoDeContasPut(int identificacao, int idConta) {
  return CallWriter("IdentificacaoDeContasPut", [&](db::TDbCommand& ds) {
    ds.SetInteger("@Identificacao", identificacao);
    ds.SetInteger("@IdConta", idConta);
  });
}

int OcoTipoPut(int id, int seq, const std::string& abrv, const std::string& nome, const std::string& lb1,
               const std::string& lb2) {
  return CallWriter(
      "OcoTipoPut",
      [&](db::TDbCommand& ds) {
        ds.SetInteger("@id", id);
        ds.SetInteger("@seq", seq);
        ds.SetText("@abrv", abrv);
        ds.SetText("@nome", nome);
        ds.SetInteger("@loca", 0);
        ds.SetText("@lb1", lb1);
        ds.SetText("@lb2", lb2);
      },
      {&Listas().EnumOcoAbrv, &Listas().EnumOcoNome});
}

int AddListChoice(int fieldCode, bool isNew, int itemId, const std::string& doc, const std::string& nomePT,
                  const std::string& nomeEN, const std::string& nomeES) {
  int code = CallWriter("AddListChoice", [&](db::TDbCommand& ds) {
    ds.SetInteger("@FC", fieldCode);
    ds.SetBoolean("@id_new", isNew);
    ds.SetInteger("@id_id", itemId);
    ds.SetText("@id_doc", doc);
    ds.SetText("@nomePT", nomePT);
    ds.SetText("@nomeEN", nomeEN);
    ds.SetText("@nomeES", nomeES);
  });
  if (tIntStgListMultiLng* list = GetCampoListaDeValores(fieldCode)) list->Limpa();
  return code;
}

int DataLogAdd(int type, int objectId, int auxId, TDateTime date, const std::string& text) {
  return CallWriter("DataLogAdd", [&](db::TDbCommand& ds) {
    ds.SetInteger("@tip", type);
    ds.SetInteger("@oid", objectId);
    ds.SetInteger("@aux", auxId);
    ds.SetDateTime("@date", date);
    if (text.empty()) ds.ClearParam("@txt");
    else ds.SetText("@txt", text);
  });
}

}  // namespace zi
