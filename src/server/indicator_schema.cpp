#include "server/indicator_schema.h"

#include <string>
#include <utility>
#include <vector>

#include "server/sqlite_db.h"

namespace zi::server {

namespace {

using Rows = std::vector<std::vector<DbValue>>;

void InsertEach(SqliteDb& db, std::string_view sql, const Rows& rows) {
  for (const std::vector<DbValue>& row : rows) db.Run(sql, row);
}

// The history of one level. The key of a row is its object, its indicator and its effective date;
// a row without date is the timeless value. Values go with their object when it is deleted.
std::string HistoryTable(const std::string& table, const std::string& key, const std::string& objects) {
  return "CREATE TABLE " + table + " (\n" + key + " INTEGER NOT NULL REFERENCES " + objects +
         " (id) ON DELETE CASCADE,\n"
         "indica INTEGER NOT NULL REFERENCES DefIndicador (id),\n"
         "DataIniVigencia DATETIME,\n"
         "valornum REAL,\n"
         "valordt DATETIME,\n"
         "valorst TEXT\n"
         ");\n"
         "CREATE UNIQUE INDEX " + table + "_key ON " + table + " (" + key +
         ", indica, coalesce(DataIniVigencia, -1));\n";
}

// A starting set of definitions: the ones the import directives write (1, 9, 46, 48, 58), one of
// each field format the import reads, and 142, whose list values may be named by document key.
// Names hold two parts separated by "|" in each language.
void SeedDefinitions(SqliteDb& db) {
  InsertEach(db,
             "INSERT INTO DefIndicador (id, grupo, ordem, largura, FormatoCampo, NomePT, NomeEN, NomeES) "
             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
             {{1, 1, 1, 40, 3, "C\xF3" "digo|de negocia\xE7\xE3o", "Trading|code", "C\xF3" "digo|de negociaci\xF3n"},
              {9, 2, 1, 14, 3, "CNPJ|", "CNPJ|", "CNPJ|"},
              {46, 1, 2, 20, 5, "N\xFAmero|da s\xE9rie", "Series|number", "N\xFAmero|de la serie"},
              {48, 1, 3, 100, 3, "Nome|da s\xE9rie", "Series|name", "Nombre|de la serie"},
              {52, 2, 2, 50, 3, "Nome|da empresa", "Company|name", "Nombre|de la empresa"},
              {58, 2, 3, 255, 3, "Descri\xE7\xE3o|da empresa", "Company|description", "Descripci\xF3n|de la empresa"},
              {60, 2, 4, 15, 28, "Data|de funda\xE7\xE3o", "Foundation|date", "Fecha|de fundaci\xF3n"},
              {61, 1, 4, 3, 9, "Moeda|de negocia\xE7\xE3o", "Trading|currency", "Moneda|de negociaci\xF3n"},
              {62, 3, 1, 1, 21, "Novo|Mercado", "Novo|Mercado", "Novo|Mercado"},
              {63, 2, 5, 10, 0, "N\xFAmero|de funcion\xE1rios", "Number of|employees", "N\xFAmero|de empleados"},
              {64, 1, 5, 20, 27, "In\xED" "cio|das negocia\xE7\xF5" "es", "Trading|start",
               "Inicio|de la negociaci\xF3n"},
              {65, 3, 2, 30, 32, "Esp\xE9" "cie|da a\xE7\xE3o", "Share|kind", "Especie|de la acci\xF3n"},
              {142, 2, 6, 30, 41, "Periodicidade|das demonstra\xE7\xF5" "es", "Statements|frequency",
               "Periodicidad|de los estados"}});
}

// Brazilian shares and American shares, each with lines for the three levels; a title line names
// no indicator.
void SeedTemplates(SqliteDb& db) {
  InsertEach(db,
             "INSERT INTO FormatoDeCadastro (Id, Pais, Ordem, TituloPT, TituloEN, TituloES) VALUES (?, ?, ?, ?, ?, ?)",
             {{1, 0, 1, "A\xE7\xF5" "es Brasil", "Brazilian shares", "Acciones Brasil"},
              {2, 1, 2, "A\xE7\xF5" "es EUA", "US shares", "Acciones EE.UU."}});
  InsertEach(db, "INSERT INTO RegraDeFormatoDeCadastro (TipoObj, Pais, IdFDC) VALUES (?, ?, ?)",
             {{0, 0, 1}, {0, 1, 2}});
  constexpr int kTitle = 1;
  constexpr int kIndicator = 2;
  Rows lines = {{1, 1, 2, kTitle, 0, "Empresa", "Company", "Empresa"}};
  int line = 2;
  const std::vector<std::pair<int, int>> brazilian = {{2, 9},  {2, 52}, {2, 58}, {2, 60}, {2, 63}, {2, 142}, {1, 62},
                                                      {1, 65}, {0, 1},  {0, 46}, {0, 48}, {0, 61}, {0, 64}};
  for (const auto& [level, indicator] : brazilian) {
    lines.push_back({1, line++, level, kIndicator, indicator, "", "", ""});
  }
  line = 1;
  for (const auto& [level, indicator] : std::vector<std::pair<int, int>>{{2, 58}, {2, 63}, {0, 1}, {0, 48}}) {
    lines.push_back({2, line++, level, kIndicator, indicator, "", "", ""});
  }
  InsertEach(db,
             "INSERT INTO LinhaDeFormato (IdFDC, IdLinha, EAA, TipoLinhaFormato, P1, StrPT, StrEN, StrES) "
             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
             lines);
}

}  // namespace

// Definitions keep their columns by position for the client; those it only carries have neutral
// names. The field width and the formats are bytes.
void CreateIndicatorTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE DefIndicador (
      id INTEGER PRIMARY KEY CHECK (id > 0),
      grupo INTEGER NOT NULL DEFAULT 0,
      ordem INTEGER NOT NULL DEFAULT 0,
      tipo INTEGER NOT NULL DEFAULT 0 CHECK (tipo BETWEEN 0 AND 255),
      largura INTEGER NOT NULL DEFAULT 0 CHECK (largura BETWEEN 0 AND 255),
      casas INTEGER NOT NULL DEFAULT 0 CHECK (casas BETWEEN 0 AND 255),
      FormatoCampo INTEGER NOT NULL CHECK (FormatoCampo BETWEEN 0 AND 255),
      aux7 INTEGER NOT NULL DEFAULT 0,
      aux8 INTEGER NOT NULL DEFAULT 0,
      aux9 INTEGER NOT NULL DEFAULT 0,
      NomePT TEXT NOT NULL,
      NomeEN TEXT NOT NULL DEFAULT '',
      NomeES TEXT NOT NULL DEFAULT '',
      texto13 TEXT NOT NULL DEFAULT ''
    );
    CREATE TABLE FormatoDeCadastro (
      Id INTEGER PRIMARY KEY CHECK (Id > 0),
      Pais INTEGER NOT NULL REFERENCES Pais (id),
      Ordem INTEGER NOT NULL DEFAULT 0,
      TituloPT TEXT NOT NULL,
      TituloEN TEXT NOT NULL DEFAULT '',
      TituloES TEXT NOT NULL DEFAULT ''
    );
    CREATE TABLE RegraDeFormatoDeCadastro (
      TipoObj INTEGER NOT NULL REFERENCES TipoObj (id),
      Pais INTEGER NOT NULL REFERENCES Pais (id),
      IdFDC INTEGER NOT NULL REFERENCES FormatoDeCadastro (Id),
      PRIMARY KEY (TipoObj, Pais)
    );
    CREATE TABLE LinhaDeFormato (
      IdFDC INTEGER NOT NULL REFERENCES FormatoDeCadastro (Id) ON DELETE CASCADE,
      IdLinha INTEGER NOT NULL,
      EAA INTEGER NOT NULL CHECK (EAA BETWEEN 0 AND 2),
      TipoLinhaFormato INTEGER NOT NULL,
      P1 INTEGER NOT NULL DEFAULT 0,
      StrPT TEXT NOT NULL DEFAULT '',
      StrEN TEXT NOT NULL DEFAULT '',
      StrES TEXT NOT NULL DEFAULT '',
      VisivelNoZor BOOLEAN NOT NULL DEFAULT 1,
      PRIMARY KEY (IdFDC, IdLinha)
    );
  )sql");
  db.Exec(HistoryTable("IndicadoresDaEmp", "emp", "empresa") + HistoryTable("IndicadoresDoAtv", "atv", "ativo") +
          HistoryTable("IndicadoresDoAnb", "anb", "anbima"));
  SeedDefinitions(db);
  SeedTemplates(db);
}

// One text per country and list type: 1 the abbreviations ("key = value" lines), 2 the casing terms.
void CreateNameListTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE BufPorPais (
      pais INTEGER NOT NULL REFERENCES Pais (id),
      tipo INTEGER NOT NULL CHECK (tipo IN (1, 2)),
      conteudo TEXT NOT NULL DEFAULT '',
      PRIMARY KEY (pais, tipo)
    );
  )sql");
}

void AddIndicatorPresentation(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE ApresIndicadoresDoTDDPais (
      pais INTEGER NOT NULL REFERENCES Pais (id),
      tdd INTEGER NOT NULL CHECK (tdd BETWEEN 0 AND 255),
      eaa INTEGER NOT NULL CHECK (eaa BETWEEN 0 AND 2),
      ordem INTEGER NOT NULL,
      indica INTEGER NOT NULL REFERENCES DefIndicador (id),
      PRIMARY KEY (pais, tdd, eaa, ordem)
    );
  )sql");
}

}  // namespace zi::server
