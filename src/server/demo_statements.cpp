#include "server/demo_statements.h"

#include <cstdint>
#include <vector>

#include "server/sqlite_db.h"
#include "toolbox/db_value.h"

namespace zi::server {

namespace {

constexpr int64_t kCompaniesFormat = 1;
// 2023-12-31 as a count of days since 1899-12-30.
constexpr double kDec2023 = 45291;

struct DemoAccount {
  int64_t id;
  const char* pt;
  const char* en;
  int64_t bloco;
};

// Total assets and total liabilities and equity form identification group 1; gross profit is the
// running total of revenue less costs.
struct DemoLine {
  int64_t tipo;
  int64_t conta;  // the block for a title
  int64_t sinal;
  int64_t indentacao;
  int64_t grupo;
};

void InsertAccounts(SqliteDb& db) {
  const std::vector<DemoAccount> accounts = {
      {1, "Ativo total", "Total assets", 1},          {2, "Ativo circulante", "Current assets", 1},
      {3, "Ativo n\xE3o circulante", "Non-current assets", 1}, {4, "Passivo total", "Total liabilities and equity", 1},
      {5, "Passivo", "Liabilities", 1},               {6, "Patrim\xF4nio l\xEDquido", "Equity", 1},
      {7, "Receita l\xEDquida", "Net revenue", 2},      {8, "Custos", "Costs", 2},
      {9, "Lucro bruto", "Gross profit", 2}};
  for (const DemoAccount& a : accounts) {
    db.Run(
        "INSERT INTO ContaBal (id, nome_extenso_Por, nome_extenso_Ing, nome_extenso_Esp, nome_compacto_Por, "
        "nome_compacto_Ing, nome_compacto_Esp, bloco, ordemnobloco, decimais, caracs) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
        "?, 0, 5)",
        {a.id, a.pt, a.en, a.en, a.pt, a.en, a.en, a.bloco, a.id});
  }
  const std::vector<DemoLine> lines = {{1, 1, 0, 0, 0}, {0, 1, 0, 0, 1}, {0, 2, 2, 1, 0}, {0, 3, 2, 1, 0},
                                       {0, 4, 0, 0, 1}, {0, 5, 2, 1, 0}, {0, 6, 2, 1, 0}, {1, 2, 0, 0, 0},
                                       {0, 7, 2, 0, 0}, {0, 8, 4, 0, 0}, {0, 9, 1, 0, 0}};
  int64_t seq = 0;
  for (const DemoLine& l : lines) {
    const bool title = l.tipo == 1;
    db.Run(
        "INSERT INTO ApresFmtBalItems (fmtbal, seq, tipo, conta, sinal, indentacao, bloco, IdentificacaoDeContas) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        {kCompaniesFormat, ++seq, l.tipo, title ? DbValue(0) : DbValue(l.conta), l.sinal, l.indentacao,
         title ? DbValue(l.conta) : DbValue(), l.grupo});
  }
}

// One statement of a company, by its code, values of the whole year for accounts 1 to 9.
void InsertStatement(SqliteDb& db, const char* company, int64_t grade, const std::vector<double>& values) {
  db.Run(
      "INSERT INTO Balanco (empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses, moeda, datamoeda, "
      "datadivulgacao, DataUltAlteracao, ChecagemFalhou) SELECT id, ?, 1, 0, 0, 12, moedabal_local, ?, ?, ?, ? FROM "
      "empresa WHERE cod = ?",
      {TDateTime{kDec2023}, TDateTime{kDec2023}, TDateTime{kDec2023 + 60}, TDateTime{kDec2023 + 60}, grade, company});
  const int64_t id = db.LastInsertRowId();
  for (size_t i = 0; i < values.size(); ++i) {
    db.Run("INSERT INTO BalancoUmaConta (balanco, conta, De3Meses, valor) VALUES (?, ?, 0, ?)",
           {id, static_cast<int64_t>(i + 1), values[i]});
  }
}

}  // namespace

void AddDemoStatements(SqliteDb& db) {
  AtomicScope scope(db);
  InsertAccounts(db);
  InsertStatement(db, "PETR", 0, {1000, 400, 600, 1000, 700, 300, 500, 300, 200});
  // Its current assets were mistyped: the check fails on total assets.
  InsertStatement(db, "VALE", 2, {900, 400, 600, 900, 500, 400, 300, 100, 200});
  scope.Commit();
}

}  // namespace zi::server
