#include "server/demo_portfolios.h"

#include <cstdint>

#include "server/sqlite_db.h"
#include "toolbox/db_value.h"

namespace zi::server {

namespace {

constexpr int64_t kSaoPaulo = 1;
// 2023-12-31 as a count of days since 1899-12-30.
constexpr double kDec2023 = 45291;
constexpr int64_t kFundPortfolio = 1;

}  // namespace

void AddDemoPortfolios(SqliteDb& db) {
  db.Run("INSERT INTO Bairro (idcidade, descricao) VALUES (?, 'Pinheiros'), (?, 'Itaim Bibi')", {kSaoPaulo, kSaoPaulo});
  const int64_t bairro = db.QueryValue("SELECT id FROM Bairro WHERE descricao = 'Itaim Bibi'").AsInteger();
  db.Run("INSERT INTO Imovel (descricao, endereco, idcidade, idbairro) VALUES (?, ?, ?, ?)",
         {"Edif\xED" "cio Faria Lima", "Av. Brigadeiro Faria Lima, 3477", kSaoPaulo, bairro});
  const int64_t imovel = db.LastInsertRowId();
  db.Run("INSERT INTO ImovelDoc (doc_id, idImovel, doc) VALUES ('123456', ?, 'mat. 123.456')", {imovel});
  const int64_t fund = db.QueryValue("SELECT id FROM empresa WHERE cod = 'ITUB'").AsInteger();
  db.Run("INSERT INTO Portfolio (emp, dtref, TipoDocumento, DtRefInformadaPelafonte, pl, TotalPorc) "
         "VALUES (?, ?, ?, ?, 250000000, 100)",
         {fund, kDec2023, kFundPortfolio, kDec2023});
  const int64_t portfolio = db.LastInsertRowId();
  db.Run("INSERT INTO PortfolioItemIRA (IdPortfolio, IdImovel, Area, NumUnidades, PercentVacancia, "
         "PercentReceitasFii) VALUES (?, ?, 12500, 20, 5, 100)",
         {portfolio, imovel});
  db.Run("INSERT INTO PortfolioItemIRAInquilino (IdPortfolio, IdImovel, Setor, PercentReceitaImovel, "
         "PercentReceitasFII) VALUES (?, ?, ?, 100, 100)",
         {portfolio, imovel, "Escrit\xF3rios"});
}

}  // namespace zi::server
