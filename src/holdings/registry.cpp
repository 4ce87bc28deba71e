#include "holdings/registry.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "db/connection.h"
#include "holdings/db_call.h"
#include "db/db_cache.h"
#include "db/multi_result.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/pool.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kCallFailed = kHoldingsCallFailed;
constexpr int kNameCacheSize = 128;

std::string Proc(std::string_view prefix, std::string_view verb) { return std::string(prefix) + std::string(verb); }

// The document of an index entry against a searched one: by country, then by text without case.
int CompareEntry(const THolderDocIndex::TEntry& e, int32_t pais, std::string_view doc) {
  if (e.docpais != pais) return e.docpais < pais ? -1 : 1;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  const size_t common = std::min(e.doc.size(), doc.size());
  for (size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(upper(e.doc[i]));
    const auto b = static_cast<unsigned char>(upper(doc[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (e.doc.size() == doc.size()) return 0;
  return e.doc.size() < doc.size() ? -1 : 1;
}

// Fills the record from the rows of one holder and leaves the row set on the next holder's first row.
void ReadHolderRows(db::TDbCommand& ds, THolderRec& rec, bool withNameCount) {
  rec = THolderRec{};
  rec.loaded = true;
  rec.id = ds.FieldAsInteger("id");
  rec.pais = ds.FieldAsInteger("pais");
  rec.nome = ds.FieldAsText("nome");
  rec.doc = ds.FieldAsText("doc");
  if (withNameCount) rec.qtnomes = ds.FieldAsInteger("qtnomes");
  do {
    rec.docs.push_back({ds.FieldAsInteger("docpais"), ds.FieldAsText("doc_id")});
    ds.Next();
  } while (!ds.Eof() && ds.FieldAsInteger("id") == rec.id);
}

// The id cache of a registry, kept in the pool of reusable objects between lookups. A failed read
// is not kept: the next lookup asks the server again.
template <typename K>
class THolderNameCache : public TPoolable, public db::tDbCache<THolderRec> {
 public:
  THolderNameCache() : db::tDbCache<THolderRec>(kNameCacheSize) {}

 protected:
  std::unique_ptr<THolderRec> Load(int id) override {
    auto rec = std::make_unique<THolderRec>();
    if (THolderRegistry<K>::Get(id, *rec) != 0) return nullptr;
    return rec;
  }
};

template <typename K>
std::unique_ptr<THolderNameCache<K>> TakeNameCache() {
  std::unique_ptr<THolderNameCache<K>> cache = PoolTake<THolderNameCache<K>>();
  return cache ? std::move(cache) : std::make_unique<THolderNameCache<K>>();
}

}  // namespace

std::string DocumentKey(std::string_view doc) {
  std::string key;
  key.reserve(doc.size());
  for (const char c : UpperAscii(doc)) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) key += c;
  }
  return key;
}

std::string NameKey(std::string_view name) { return DocumentKey(Trim(name)); }

void THolderDocIndex::Reset() {
  built_ = false;
  entries_.clear();
}

int THolderDocIndex::Build() {
  if (built_) return 0;
  const int code = GuardedCall("THolderDocIndex.Build", [&] {
    db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, std::string(select_));
    if (!ds) return ds.Failure(kCallFailed);
    if (const int failed = db::ZiDb().OpenSql(*ds)) return failed;
    entries_.clear();
    entries_.reserve(static_cast<size_t>(ds->RecordCount()));
    for (; !ds->Eof(); ds->Next()) {
      entries_.push_back({db::ValueAsInteger(ds->FieldByIndex(0)), Trim(db::ValueAsText(ds->FieldByIndex(1))),
                          db::ValueAsInteger(ds->FieldByIndex(2))});
    }
    return 0;
  });
  if (code != 0) {
    entries_.clear();
    return code;
  }
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const TEntry& a, const TEntry& b) { return CompareEntry(a, b.docpais, b.doc) < 0; });
  built_ = true;
  return 0;
}

bool THolderDocIndex::Search(const std::string& doc, int32_t pais, int32_t& id) const {
  auto lookFor = [&](std::string_view text) {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), text, [&](const TEntry& e, std::string_view t) {
      return CompareEntry(e, pais, t) < 0;
    });
    if (at == entries_.end() || CompareEntry(*at, pais, text) != 0) return false;
    id = at->id;
    return true;
  };
  const std::string key = DocumentKey(doc);
  if (lookFor(key)) return true;
  // Provisional documents are stored with their punctuation.
  return key != doc && UpperAscii(doc).find("-PROVIS") != std::string::npos && lookFor(doc);
}

void THolderDocIndex::Add(int32_t id, const std::string& doc, int32_t pais) {
  if (!built_ || id <= 0) return;
  const std::string key = DocumentKey(doc);
  const auto at = std::lower_bound(entries_.begin(), entries_.end(), key, [&](const TEntry& e, const std::string& t) {
    return CompareEntry(e, pais, t) < 0;
  });
  if (at != entries_.end() && CompareEntry(*at, pais, key) == 0) return;
  entries_.insert(at, TEntry{pais, key, id});
}

bool THolderAddedList::Contains(std::string_view doc, int32_t pais) const {
  return std::any_of(items_.begin(), items_.end(),
                     [&](const auto& item) { return item.second == pais && item.first == doc; });
}

void THolderAddedList::Add(std::string_view doc, int32_t pais) {
  if (!Contains(doc, pais)) items_.emplace_back(std::string(doc), pais);
}

template <typename K>
int THolderRegistry<K>::Get(int32_t id, THolderRec& rec) {
  return GuardedCall(Proc("Db", Proc(K::prefix, "Get")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "Get"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", id);
    if (const int code = db::ZiDb().ExecStProc(*ds, 2)) return code;
    if (ds->Eof()) return kAnswerNotFound;
    ReadHolderRows(*ds, rec, false);
    return 0;
  });
}

template <typename K>
int THolderRegistry<K>::Add(const THolderRec& rec, bool mayClean) {
  return GuardedCall(Proc("Db", Proc(K::prefix, "Add")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "Add"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", rec.id);
    ds->SetInteger("@pais", rec.pais);
    ds->SetText("@nome", rec.nome);
    ds->SetText("@doc", rec.doc);
    ds->SetBoolean("@PodeLimparDocID", mayClean);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

template <typename K>
int THolderRegistry<K>::Put(const THolderRec& rec, bool keep, bool forceMain, bool mayClean) {
  return GuardedCall(Proc("Db", Proc(K::prefix, "Put")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "Put"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", rec.id);
    ds->SetInteger("@pais", rec.pais);
    ds->SetText("@nome", rec.nome);
    ds->SetText("@doc", rec.doc);
    ds->SetBoolean("@ManterDocsExistentes", keep);
    ds->SetBoolean("@ManterNomesExistentes", keep);
    ds->SetBoolean("@ForcaNomeVaiProZor", forceMain);
    ds->SetBoolean("@PodeLimparDocID", mayClean);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

template <typename K>
int THolderRegistry<K>::AddDoc(const THolderRec& rec, bool mayClean) {
  return GuardedCall(Proc("Db", Proc(K::prefix, "AddDoc")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "AddDoc"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger(std::string(K::addDocId), rec.id);
    ds->SetText("@newdoc", rec.doc);
    ds->SetInteger("@newdocpais", rec.pais);
    ds->SetBoolean("@PodeLimparDocID", mayClean);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

template <typename K>
int THolderRegistry<K>::DelDoc(const std::string& doc_id, int32_t docpais) {
  return GuardedCall(Proc("Db", Proc(K::prefix, "DelDoc")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "DelDoc"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@docpais", docpais);
    ds->SetText("@doc_id", doc_id);
    return db::ZiDb().ExecStProc(*ds, 0);
  });
}

template <typename K>
int THolderRegistry<K>::Del(int32_t id, int32_t& company, int32_t& count) {
  company = 0;
  count = 0;
  return GuardedCall(Proc("Db", Proc(K::prefix, "Del")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "Del"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", id);
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    company = ds->ParamAsInteger(std::string(K::delCompany));
    count = ds->ParamAsInteger(std::string(K::delCount));
    return code;
  });
}

template <typename K>
int THolderRegistry<K>::GetByDocPais(const std::string& doc, int32_t pais, const std::string& tryName,
                                     bool mayClean, THolderRec& rec, THolderFound& found) {
  rec = THolderRec{};
  rec.doc = doc;
  rec.pais = pais;
  found = THolderFound{};
  return GuardedCall(Proc("Db", Proc(K::prefix, "GetByDocPais")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "GetByDocPais"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetText("@doc_in", doc);
    ds->SetInteger("@docpais_in", pais);
    ds->SetText("@tentaessenome", tryName);
    ds->SetBoolean("@PodeLimparDocID", mayClean);
    if (const int code = db::ZiDb().ExecStProc(*ds, 0)) return code;
    rec.id = ds->ParamAsInteger("@id");
    // An answer without an id would hand out 0 as a holder.
    if (rec.id <= 0) return kHolderWithoutId;
    rec.nome = ds->ParamAsText("@nome");
    rec.doc = ds->ParamAsText("@doc");
    found.isMain = ds->ParamAsBoolean("@VaiProZor");
    found.mainName = ds->ParamAsText("@NomeProZor");
    return 0;
  });
}

template <typename K>
int THolderRegistry<K>::ListNames(int32_t id, std::vector<_NomeHolder>& names) {
  names.clear();
  const int code = GuardedCall(Proc("Db", Proc(K::prefix, "ListNames")), [&] {
    db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, "ListNames"));
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", id);
    return db::ExecMultiResult(db::ZiDb(), *ds, [&](db::TDbCommand& row) {
      names.push_back({row.FieldAsText("nome"), row.FieldAsBoolean("VaiProZor")});
    });
  });
  if (code != 0) names.clear();
  return code;
}

template <typename K>
int THolderRegistry<K>::NamesSave(int32_t id, std::vector<_NomeHolder>& names) {
  for (_NomeHolder& name : names) {
    if (!name.toDelete && !name.modified) continue;
    const int code = GuardedCall(Proc("Db", Proc(K::prefix, "NamesSave")), [&] {
      db::TDataSetHolder ds(db::ZiDb(), Proc(K::prefix, name.toDelete ? "NomeDel" : "NomeMod"));
      if (!ds) return ds.Failure(kCallFailed);
      ds->SetInteger("@id", id);
      ds->SetText("@nome", name.nome);
      if (!name.toDelete) ds->SetBoolean("@VaiProZor", name.VaiProZor);
      return db::ZiDb().ExecStProc(*ds, 0);
    });
    if (code != 0) return code;
    if (!name.toDelete) name.modified = false;
  }
  return 0;
}

template <typename K>
std::string THolderRegistry<K>::NameById(int32_t id) {
  std::unique_ptr<THolderNameCache<K>> cache = TakeNameCache<K>();
  const THolderRec* rec = cache->PegaItem(id);
  std::string name = rec ? rec->nome : std::string(K::unknownName) + std::to_string(id);
  PoolGive(std::move(cache));
  return name;
}

template <typename K>
void THolderRegistry<K>::ForgetName(int32_t id) {
  std::unique_ptr<THolderNameCache<K>> cache = PoolTake<THolderNameCache<K>>();
  if (!cache) return;
  cache->EsqueceItem(id);
  PoolGive(std::move(cache));
}

template <typename K>
THolderDocIndex& THolderRegistry<K>::DocIndex() {
  static THolderDocIndex index(K::docSelect);
  return index;
}

template <typename K>
int THolderRegistry<K>::FindInIndex(const std::string& doc, int32_t pais, bool mayClean, int32_t& id) {
  return DocIndex().Find(doc, pais, id, [&](int32_t& found) {
    THolderRec rec;
    THolderFound how;
    const int code = GetByDocPais(doc, pais, "", mayClean, rec, how);
    found = rec.id;
    return code;
  });
}

template class THolderRegistry<TShareholderTraits>;
template class THolderRegistry<TPtfAssetTvmTraits>;

}  // namespace zi
