#include "server/demo_holdings.h"

#include <cstdint>
#include <string>
#include <vector>

#include "server/sqlite_db.h"
#include "toolbox/db_value.h"

namespace zi::server {

namespace {

// 2023-12-31 and 2024-04-25 as counts of days since 1899-12-30.
constexpr double kDec2023 = 45291;
constexpr double kApr2024 = 45407;

struct DemoHolder {
  int64_t id;
  int64_t pais;
  const char* nome;
  const char* doc;
  const char* docId;
};

void InsertHolders(SqliteDb& db, const std::string& prefix, const std::vector<DemoHolder>& holders) {
  for (const DemoHolder& h : holders) {
    db.Run("INSERT INTO " + prefix + " (id, pais) VALUES (?, ?)", {h.id, h.pais});
    db.Run("INSERT INTO " + prefix + "Doc (Id" + prefix + ", docpais, doc, doc_id) VALUES (?, ?, ?, ?)",
           {h.id, h.pais, std::string(h.doc), std::string(h.docId)});
    db.Run("INSERT INTO " + prefix + "Nome (Id" + prefix + ", nome, VaiProZor) VALUES (?, ?, 1)",
           {h.id, std::string(h.nome)});
  }
}

}  // namespace

void AddDemoHoldings(SqliteDb& db) {
  InsertHolders(db, "Shareholder",
                {{1, 0, "BNDES Participa\xE7\xF5" "es S.A. - BNDESPAR", "00.383.281/0001-09", "00383281000109"},
                 {2, 0, "Caixa de Previd\xEAncia dos Funcion\xE1rios do Banco do Brasil - PREVI", "33.754.482/0001-24",
                  "33754482000124"},
                 {3, 1, "BlackRock, Inc.", "US-32-0174431", "US320174431"},
                 {4, 0, "Uni\xE3o Federal (Tesouro Nacional)", "00.394.460/0001-41", "00394460000141"}});
  InsertHolders(db, "PtfAssetTvm",
                {{1, 0, "Petrobras PN", "BRPETRACNPR6", "BRPETRACNPR6"},
                 {2, 0, "Vale ON", "BRVALEACNOR0", "BRVALEACNOR0"},
                 {3, 0, "Tesouro Selic 2029", "LFT-20290301", "LFT20290301"}});
  db.Run("INSERT INTO CompAcionaria (id, emp, dtref, dtpub, dtrtf, inpct, freefloatcomvoto, freefloatsemvoto, "
         "freefloattodos, totalcomvoto, totalsemvoto, totaltodos) "
         "VALUES (1, ?, ?, ?, ?, 0, 2803271405, 4998000000, 7801271405, 7442454142, 5602042788, 13044496930)",
         {db.QueryValue("SELECT id FROM empresa WHERE cod = 'PETR'"), TDateTime{kDec2023}, TDateTime{kApr2024},
          TDateTime{kApr2024}});
  const std::vector<std::vector<DbValue>> items = {
      {int64_t{4}, int64_t{1}, 3740470811.0}, {int64_t{4}, int64_t{2}, 3740470811.0},
      {int64_t{1}, int64_t{1}, 11700392.0},   {int64_t{1}, int64_t{0}, 1341348766.0},
      {int64_t{1}, int64_t{2}, 1353049158.0}, {int64_t{3}, int64_t{0}, 262694022.0},
      {int64_t{3}, int64_t{2}, 262694022.0}};
  for (const auto& item : items) {
    db.Run("INSERT INTO CompAcionariaItem (IdCompAcionaria, IdShareholder, vot, vlr) VALUES (1, ?, ?, ?)", item);
  }
}

}  // namespace zi::server
