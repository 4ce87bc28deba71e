#include "holdings/real_estate.h"

#include <algorithm>
#include <array>
#include <memory>

#include "db/connection.h"
#include "db/db_cache.h"
#include "holdings/holdings_calls.h"
#include "toolbox/own_codes.h"
#include "toolbox/pool.h"
#include "toolbox/text.h"

namespace zi {

namespace {

using db::TDataSetHolder;

void ReadProperty(db::TDbCommand& ds, TImovelRec& record) {
  record = TImovelRec{};
  if (ds.Eof()) return;
  record.key.id = ds.FieldAsInteger("id");
  record.descricao = ds.FieldAsText("descricao");
  record.endereco = ds.FieldAsText("endereco");
  record.idcidade = ds.FieldAsInteger("idcidade");
  record.idbairro = ds.FieldAsInteger("idbairro");
  record.ocr = ds.FieldAsText("ocr");
}

// Empty texts and a neighbourhood of 0 mean "none" and travel as NULL.
void SetOptionalText(db::TDbCommand& ds, const std::string& name, const std::string& value) {
  if (value.empty()) {
    ds.ClearParam(name);
  } else {
    ds.SetText(name, value);
  }
}

void SetFields(db::TDbCommand& ds, const TImovelRec& record) {
  SetOptionalText(ds, "@descricao", record.descricao);
  ds.SetText("@endereco", record.endereco);
  ds.SetInteger("@idCidade", record.idcidade);
  if (record.idbairro == 0) {
    ds.ClearParam("@idBairro");
  } else {
    ds.SetInteger("@idBairro", record.idbairro);
  }
  SetOptionalText(ds, "@ocr", record.ocr);
}

int ReadOne(const char* where, const char* procedure, const std::function<void(db::TDbCommand&)>& setInputs,
            TImovelRec& record) {
  return GuardedHoldingsCall(where, [&] {
    TDataSetHolder ds(db::ZiDb(), procedure);
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    setInputs(*ds);
    const int code = db::ZiDb().ExecStProc(*ds, 2);
    if (code == 0) ReadProperty(*ds, record);
    ds->Close();
    return code;
  });
}

// Runs body inside a transaction that commits exactly when body answers 0.
int InTransaction(const std::function<int()>& body) {
  db::TTransactionGuard guard(db::ZiDb());
  if (guard.Code() != 0) return guard.Code();
  const int code = body();
  if (code != 0) {
    (void)guard.Rollback();
    return code;
  }
  return guard.Commit();
}

int DocAdd(int32_t id, const std::string& document, bool mayClean) {
  return GuardedHoldingsCall("DbImovelDocAdd", [&] {
    TDataSetHolder ds(db::ZiDb(), "ImovelDocAdd");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@idImovel", id);
    ds->SetText("@newdoc", document);
    ds->SetBoolean("@podeLimparDoc", mayClean);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

class TPtfImovelCache : public db::tDbCache<TImovelRec>, public TPoolable {
 public:
  static constexpr int kEntries = 128;
  TPtfImovelCache() : tDbCache(kEntries) {}

 protected:
  std::unique_ptr<TImovelRec> Load(int id) override {
    auto record = std::make_unique<TImovelRec>();
    if (DbImovelGet(id, *record) != 0 || record->key.id == 0) return nullptr;
    return record;
  }
};

// The cache is taken from the pool for one lookup and given back after it.
template <typename F>
auto WithCache(F&& use) {
  std::unique_ptr<TPtfImovelCache> cache = PoolTake<TPtfImovelCache>();
  if (!cache) cache = std::make_unique<TPtfImovelCache>();
  auto result = use(*cache);
  PoolGive(std::move(cache));
  return result;
}

std::string CachedText(int32_t id, std::string TImovelRec::*field) {
  return WithCache([&](TPtfImovelCache& cache) {
    const TImovelRec* record = cache.PegaItem(id);
    return record ? record->*field : "Unknown PtfImovel #" + std::to_string(id);
  });
}

// The classes of AccentPattern, each with its letters in Windows-1252.
constexpr std::array<std::string_view, 8> kAccentClasses = {
    "[a\xE1\xE2\xE3\xE4\xE5]", "[c\xE7]", "[e\xE8\xE9\xEA\xEB]",     "[i\xEC\xED\xEE\xEF]",
    "[n\xF1]",                 "[o\xF2\xF3\xF4\xF5\xF6]", "[u\xF9\xFA\xFB\xFC]", "[y\xFD\xFF]"};

}  // namespace

int DbImovelGet(int32_t id, TImovelRec& record) {
  return ReadOne("DbImovelGet", "ImovelGet", [&](db::TDbCommand& ds) { ds.SetInteger("@id", id); }, record);
}

int DbImovelGetByDocId(const std::string& text, bool mayClean, TImovelRec& record) {
  return ReadOne(
      "DbImovelGetByDocId", "ImovelGetByDocId",
      [&](db::TDbCommand& ds) {
        ds.SetText("@doc_id", text);
        ds.SetBoolean("@PodeLimparDocID", mayClean);
      },
      record);
}

int DbImovelLookUp(const TImovelRec& record, int32_t& id) {
  id = 0;
  TImovelRec found;
  int code = 0;
  switch (record.key.kind) {
    case ikId: code = DbImovelGet(record.key.id, found); break;
    case ikDocId: code = DbImovelGetByDocId(record.key.doc_id, false, found); break;
    case ikDoc: code = DbImovelGetByDocId(record.key.doc, true, found); break;
    default: return kImovelKeyNone;
  }
  if (code == 0) id = found.key.id;
  return code;
}

int DbImovelAdd(TImovelRec& record) {
  std::string document;
  bool mayClean = false;
  switch (record.key.kind) {
    case ikId: return kImovelAddById;
    case ikDocId: document = record.key.doc_id; break;
    case ikDoc:
      document = record.key.doc;
      mayClean = true;
      break;
    default: return kImovelAddKeyNone;
  }
  return InTransaction([&] {
    int32_t id = 0;
    const int code = GuardedHoldingsCall("DbImovelAdd", [&] {
      TDataSetHolder ds(db::ZiDb(), "ImovelAdd");
      if (!ds) return ds.Failure(kHoldingsCallRaised);
      SetFields(*ds, record);
      ds->SetText("@doc", document);
      ds->SetBoolean("@podeLimparDoc", mayClean);
      const int result = db::ZiDb().ExecStProc(*ds, 0);
      if (result == 0) id = ds->ParamAsInteger("@id");
      return result;
    });
    if (code != 0) return code;
    record.key.id = id;
    return DbImovelDocsAdd(id, record);
  });
}

int DbImovelPut(TImovelRec& record) {
  int32_t id = 0;
  const int lookup = DbImovelLookUp(record, id);
  record.key.id = id;
  if (lookup != 0) return lookup;
  if (id == 0) return kImovelNotFound;
  return InTransaction([&] {
    const int code = GuardedHoldingsCall("DbImovelPut", [&] {
      TDataSetHolder ds(db::ZiDb(), "ImovelPut");
      if (!ds) return ds.Failure(kHoldingsCallRaised);
      ds->SetInteger("@id", id);
      SetFields(*ds, record);
      return db::ZiDb().ExecStProc(*ds, 0);
    });
    return code != 0 ? code : DbImovelDocsAdd(id, record);
  });
}

int DbImovelDel(int32_t id) {
  return GuardedHoldingsCall("DbImovelDel", [&] {
    TDataSetHolder ds(db::ZiDb(), "ImovelDel");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@id", id);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbImovelDocAdd(const TImovelRec& record, bool mayClean) { return DocAdd(record.key.id, record.key.doc, mayClean); }

int DbImovelDocsAdd(int32_t id, const TImovelRec& record) {
  int last = 0;
  for (const std::string& document : record.docs) {
    if (const int code = DocAdd(id, document, record.key.kind == ikDoc)) last = code;
  }
  return last;
}

int DbImovelDocDel(const std::string& docId) {
  return GuardedHoldingsCall("DbImovelDocDel", [&] {
    TDataSetHolder ds(db::ZiDb(), "ImovelDocDel");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetText("@doc_id", docId);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

int DbImovelList(const std::string& searchPattern, std::vector<TImovelListRow>& rows) {
  return GuardedHoldingsCall("DbImovelList", [&] {
    TDataSetHolder ds(db::ZiDb(), "PtfImovelGetList");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetText("@searchText", searchPattern);
    const int code = db::ZiDb().ExecStProc(*ds, 2);
    rows.clear();
    for (; code == 0 && !ds->Eof(); ds->Next()) {
      rows.push_back({ds->FieldAsInteger("id"), ds->FieldAsText("descricao"), ds->FieldAsText("endereco"),
                      ds->FieldAsInteger("idcidade"), ds->FieldAsInteger("idbairro"), ds->FieldAsText("doc_id"),
                      ds->FieldAsText("doc")});
    }
    ds->Close();
    return code;
  });
}

int DbBairrosDaCidade(int32_t city, TArrayBairroRec& list) {
  return GuardedHoldingsCall("DbBairrosDaCidade", [&] {
    TDataSetHolder ds(db::ZiDb(), "getBairroByCidade");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    const int code = db::ZiDb().ExecStProcId(*ds, city, 2);
    if (code == 0) {
      TArrayBairroRec read;
      for (; !ds->Eof(); ds->Next()) read.push_back({ds->FieldAsInteger("id"), ds->FieldAsText("descricao")});
      list = std::move(read);
    }
    ds->Close();
    return code;
  });
}

std::string AccentPattern(std::string_view text) {
  const std::string lower = LowerCp1252(text);
  std::string pattern;
  for (char c : lower) {
    const auto inClass = [c](std::string_view cls) { return cls.find(c, 1) < cls.size() - 1; };
    const auto* found = std::find_if(kAccentClasses.begin(), kAccentClasses.end(), inClass);
    if (found == kAccentClasses.end()) {
      pattern += c;
    } else {
      pattern += *found;
    }
  }
  return pattern;
}

std::string ImovelDescricao(int32_t id) { return CachedText(id, &TImovelRec::descricao); }

std::string ImovelEndereco(int32_t id) { return CachedText(id, &TImovelRec::endereco); }

void EsqueceImovel(int32_t id) {
  WithCache([&](TPtfImovelCache& cache) {
    cache.EsqueceItem(id);
    return 0;
  });
}

}  // namespace zi
