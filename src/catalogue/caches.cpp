#include "catalogue/caches.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "session/bgl_cache.h"
#include "toolbox/text.h"

namespace zi {

namespace {

// Orders as the server's case-insensitive collation does for the codes: by country, then by code.
int ComparaEmp(int paisA, const std::string& codA, int paisB, const std::string& codB) {
  if (paisA != paisB) return paisA < paisB ? -1 : 1;
  return LowerAscii(codA).compare(LowerAscii(codB));
}

template <typename Cache, typename T>
std::optional<T> PegaDoPool(int id) {
  std::unique_ptr<Cache> cache = PoolTake<Cache>();
  if (!cache) cache = std::make_unique<Cache>();
  std::optional<T> found;
  if (const T* item = cache->PegaItem(id)) found = *item;
  PoolGive(std::move(cache));
  return found;
}

}  // namespace

void TCacheEmpPais::Carrega() {
  items_.clear();
  db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, "select pais, cod, id from empresa order by pais, cod");
  if (!ds || db::ZiDb().OpenSql(*ds) != 0) return;
  for (; !ds->Eof(); ds->Next())
    items_.push_back({ds->FieldAsInteger("pais"), Trim(ds->FieldAsText("cod")), ds->FieldAsInteger("id")});
  std::sort(items_.begin(), items_.end(),
            [](const Item& a, const Item& b) { return ComparaEmp(a.pais, a.cod, b.pais, b.cod) < 0; });
  carregado_ = true;
}

std::vector<TCacheEmpPais::Item>::iterator TCacheEmpPais::Posicao(int pais, const std::string& cod) {
  return std::lower_bound(items_.begin(), items_.end(), 0, [&](const Item& item, int) {
    return ComparaEmp(item.pais, item.cod, pais, cod) < 0;
  });
}

int TCacheEmpPais::Procura(int pais, const std::string& cod, int& id) {
  id = 0;
  if (!carregado_) Carrega();
  const std::string code = Trim(cod);
  auto it = Posicao(pais, code);
  if (it != items_.end() && ComparaEmp(it->pais, it->cod, pais, code) == 0) {
    id = it->id;
    return 0;
  }
  // Mended: the list is read once, so a company added since then is asked of the server and
  // remembered, rather than reported as missing.
  int result = GetIdEmp(code, std::to_string(pais), id);
  if (result == 0) items_.insert(Posicao(pais, code), Item{pais, code, id});
  return result;
}

void TCacheEmpPais::Esquece() {
  items_.clear();
  carregado_ = false;
}

TCacheEmpPais& CacheEmpPais() {
  static TCacheEmpPais cache;
  return cache;
}

std::unique_ptr<tObjEmp> tEmpCache::Load(int id) {
  auto emp = std::make_unique<tObjEmp>();
  if (DbObjEmpGet(id, *emp) != 0) return nullptr;
  return emp;
}

std::unique_ptr<tObjAtv> tAtvCache::Load(int id) {
  auto atv = std::make_unique<tObjAtv>();
  if (DbObjAtvGet(id, *atv) != 0) return nullptr;
  return atv;
}

std::optional<tObjEmp> EmpDoCache(int id) { return PegaDoPool<tEmpCache, tObjEmp>(id); }

std::optional<tObjAtv> AtvDoCache(int id) { return PegaDoPool<tAtvCache, tObjAtv>(id); }

void DropObjectCaches() {
  PoolDrop<tEmpCache>();
  PoolDrop<tAtvCache>();
  CacheEmpPais().Esquece();
  TipoDeBGLDestinoCache().ForgetAll();
}

}  // namespace zi
