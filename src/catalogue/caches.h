#pragma once
// The catalogue's caches on the client: companies by code and country, and companies and classes
// by id.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "db/db_cache.h"
#include "toolbox/pool.h"

namespace zi {

// Companies by country and code (codes compared without regard to case), read in one query on
// first use.
class TCacheEmpPais {
 public:
  // 0 with the company's id, or the error code of the server's lookup (4174: no such company).
  int Procura(int pais, const std::string& cod, int& id);
  // Forgets every company; the next lookup reads them again.
  void Esquece();

 private:
  struct Item {
    int pais;
    std::string cod;
    int id;
  };
  void Carrega();
  std::vector<Item>::iterator Posicao(int pais, const std::string& cod);

  std::vector<Item> items_;
  bool carregado_ = false;
};

// The process's company-by-code cache.
TCacheEmpPais& CacheEmpPais();

inline constexpr int kObjCacheSlots = 128;

class tEmpCache : public db::tDbCache<tObjEmp>, public TPoolable {
 public:
  tEmpCache() : tDbCache(kObjCacheSlots) {}

 protected:
  std::unique_ptr<tObjEmp> Load(int id) override;
};

class tAtvCache : public db::tDbCache<tObjAtv>, public TPoolable {
 public:
  tAtvCache() : tDbCache(kObjCacheSlots) {}

 protected:
  std::unique_ptr<tObjAtv> Load(int id) override;
};

// A company (class) by id through the cache kept in the process's pool; none when it cannot be read.
std::optional<tObjEmp> EmpDoCache(int id);
std::optional<tObjAtv> AtvDoCache(int id);

// Discards the object caches after a change to companies, classes or series, the bulletin
// destinations of tickers included.
void DropObjectCaches();

}  // namespace zi
