// The JSON record types "imovel" (a property, inserted or updated) and "imoveladddoc" (a document
// added to a property).
#include <string>

#include "holdings/real_estate.h"
#include "import/json_import.h"

namespace zi {

namespace {

constexpr int kKeyTwice = 25317;
constexpr int kKeyMissing = 25318;
constexpr int kDocsElementNotText = 25319;
constexpr int kInsertById = 25320;
constexpr int kUpdateKeyUnusable = 25321;
constexpr int kDocsNotArray = 25324;
constexpr int kAddDocOnlyUpsert = 30207;
constexpr int kAddDocBoth = 30210;
constexpr int kAddDocNone = 30211;

constexpr const char* kKeyTwiceText =
    "caller:%s mais de um campo chave (\"%d\", \"%d\") encontrado no objeto json use somente um campo chave";
constexpr const char* kKeyMissingText = "caller:%s Nenhum campo chave de imovel encontrado";
constexpr const char* kNotInsertedText = "caller:%s n\xE3o foi possivel inserir deste imovel";
constexpr const char* kInsertedText = "caller:%s imovel %d incluido";
constexpr const char* kInsertByIdText = "caller:%s docs.index:%d campo chave n\xE3o pode ser usado para registro novo";
constexpr const char* kNotUpdatedText = "caller:%s n\xE3o foi possivel atualizar este imovel";
constexpr const char* kUpdatedText = "caller:%s imovel %d atualizado ";
constexpr const char* kUpdateKeyText =
    "caller:%s campo chave (\"%d\") n\xE3o pode ser usado para registro que j\xE1 existe";
constexpr const char* kNoPropertyText = "caller:%s A chave do imovel n\xE3o existe. ";
constexpr const char* kAddDocBothText = "caller:%s N\xE3o \xE9 possivel adicionar Doc e Docid ao mesmo tempo. ";
constexpr const char* kAddDocNoneText = "caller:%s N\xE3o foi encontrado o novo doc a ser inserido. ";
constexpr const char* kAddDocUpsertText = "caller:%s S\xF3 existe a op\xE7\xE3o insert or update para um Doc. ";
constexpr const char* kDocNotAddedText = "caller:%s n\xE3o foi possivel inserir este novo doc. ";
constexpr const char* kDocAddedText = "caller:%s Novo Doc %s incluido no imovel %d";

// Reports a message both ways, as "imoveladddoc" does.
template <typename... Args>
void Register(TImpJSON& run, int code, const char* format, const Args&... args) {
  run.Register().AddError(code, fmt::sprintf(format, args...));
  run.NonCriticalError(code, format, args...);
}

// The key of the record: the first of "idimovel", "docid" and "doc" present; 0 or the code reported.
int ReadKey(const std::string& caller, TImpJSON& run, TJsonObject& object, TImovelKey& key) {
  const auto set = [&](uint8_t kind) {
    if (key.kind != ikNone) {
      run.NonCriticalError(kKeyTwice, kKeyTwiceText, caller, key.kind, kind);
      return false;
    }
    key.kind = kind;
    return true;
  };
  if (run.GetIntegerField(object, "idimovel", true, key.id) && !set(ikId)) return kKeyTwice;
  if (run.GetTextField(object, "docid", true, key.doc_id) && !set(ikDocId)) return kKeyTwice;
  if (run.GetTextField(object, "doc", true, key.doc) && !set(ikDoc)) return kKeyTwice;
  if (key.kind != ikNone) return 0;
  run.NonCriticalError(kKeyMissing, kKeyMissingText, caller);
  return kKeyMissing;
}

// The fields and further documents; false when the record is not to be written.
bool ReadFields(const std::string& caller, TImpJSON& run, TJsonObject& object, TImovelRec& record) {
  run.GetTextField(object, "descricao", true, record.descricao);
  if (!run.GetTextField(object, "endereco", false, record.endereco)) return false;
  if (!run.GetIntegerField(object, "idcidade", false, record.idcidade)) return false;
  run.GetIntegerField(object, "idbairro", true, record.idbairro);
  run.GetTextField(object, "ocr", true, record.ocr);
  const std::optional<TJsonAttribute> docs = object.Find("docs");
  if (!docs) return true;
  if (!docs->IsArray()) {
    run.NonCriticalError(kDocsNotArray, "caller:%s name:\"docs\" type:%d", caller,
                         static_cast<int>(docs->AttributeType()));
    return true;
  }
  bool ok = true;
  TJsonArray& array = docs->AsArray();
  for (int i = 0; i < array.Count(); ++i) {
    const TJsonAttribute element = array.Item(i);
    if (element.IsString()) {
      record.docs.emplace_back(element.AsString());
    } else {
      run.NonCriticalError(kDocsElementNotText, "caller:%s docs.index:%d type:%d", caller, i,
                           static_cast<int>(element.AttributeType()));
      ok = false;
    }
  }
  return ok;
}

void Insert(const std::string& caller, TImpJSON& run, TImovelRec& record) {
  if (record.key.kind == ikId) {
    run.NonCriticalError(kInsertById, kInsertByIdText, caller, record.key.kind);
    return;
  }
  if (const int code = DbImovelAdd(record)) {
    run.NonCriticalError(code, kNotInsertedText, caller);
    return;
  }
  run.Output(fmt::sprintf(kInsertedText, caller, record.key.id), false);
}

void Update(const std::string& caller, TImpJSON& run, TImovelRec& record) {
  if (record.key.kind < ikId || record.key.kind > ikDoc) {
    run.NonCriticalError(kUpdateKeyUnusable, kUpdateKeyText, caller, record.key.kind);
    return;
  }
  if (const int code = DbImovelPut(record)) {
    run.NonCriticalError(code, kNotUpdatedText, caller);
    return;
  }
  EsqueceImovel(record.key.id);
  run.Output(fmt::sprintf(kUpdatedText, caller, record.key.id), false);
}

void ImportImovel(const std::string& caller, TImpJSON& run, TJsonObject& object, _ActionDB action) {
  TImovelRec record;
  if (ReadKey(caller, run, object, record.key) != 0) return;
  if (!ReadFields(caller, run, object, record)) return;
  bool exists = action == _adb_update;
  if (action == _adb_upsert) {
    int32_t id = 0;
    if (const int code = DbImovelLookUp(record, id)) {
      run.NonCriticalError(code, kNotUpdatedText, caller);
      return;
    }
    exists = id != 0;
  }
  if (exists) {
    Update(caller, run, record);
  } else {
    Insert(caller, run, record);
  }
}

void ImportImovelAddDoc(const std::string& caller, TImpJSON& run, TJsonObject& object, _ActionDB action) {
  TImovelRec record;
  int32_t id = 0;
  int code = ReadKey(caller, run, object, record.key);
  if (code == 0) code = DbImovelLookUp(record, id);
  // A key that names no property is refused here rather than sending the document for id 0.
  if (code == 0 && id == 0) code = kImovelNotFound;
  if (code != 0) {
    Register(run, code, kNoPropertyText, caller);
    return;
  }
  std::string newDoc;
  std::string newDocId;
  const bool hasDoc = run.GetTextField(object, "newdoc", true, newDoc);
  const bool hasDocId = run.GetTextField(object, "newdocid", true, newDocId);
  if (hasDoc && hasDocId) {
    Register(run, kAddDocBoth, kAddDocBothText, caller);
    return;
  }
  if (!hasDoc && !hasDocId) {
    Register(run, kAddDocNone, kAddDocNoneText, caller);
    return;
  }
  record.docs = {hasDoc ? newDoc : newDocId};
  record.key.kind = hasDoc ? ikDoc : ikDocId;
  if (action != _adb_upsert) {
    Register(run, kAddDocOnlyUpsert, kAddDocUpsertText, caller);
    return;
  }
  if (const int added = DbImovelDocsAdd(id, record)) {
    Register(run, added, kDocNotAddedText, caller);
    return;
  }
  run.Output(fmt::sprintf(kDocAddedText, caller, record.docs[0], id), false);
}

}  // namespace

void RegisterRealEstateJsonTypes() {
  SetJsonRecordHandler("imovel", ImportImovel);
  SetJsonRecordHandler("imoveladddoc", ImportImovelAddDoc);
}

}  // namespace zi
