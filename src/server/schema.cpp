#include "server/schema.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "server/import_queue.h"
#include "server/indicator_schema.h"
#include "server/procedures.h"
#include "server/reference_seeds.h"
#include "server/sqlite_db.h"
#include "toolbox/codec.h"

namespace zi::server {

namespace {

void CreateServerInfo(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE server_info (key TEXT PRIMARY KEY, value TEXT NOT NULL);
    INSERT INTO server_info (key, value) VALUES ('created', strftime('%Y-%m-%dT%H:%M:%SZ', 'now'));
  )sql");
}

// A login matches its name whatever the case; NOCASE folds ASCII letters only.
void CreateUsers(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE users (
      id INTEGER PRIMARY KEY,
      name TEXT NOT NULL UNIQUE COLLATE NOCASE,
      password_hash TEXT NOT NULL,
      email TEXT NOT NULL DEFAULT '',
      is_admin BOOLEAN NOT NULL DEFAULT 0,
      user_flag INTEGER NOT NULL DEFAULT 0,
      source_do_bal INTEGER NOT NULL DEFAULT 0 CHECK (source_do_bal BETWEEN 0 AND 255),
      lingua INTEGER NOT NULL DEFAULT 0 CHECK (lingua BETWEEN 0 AND 2),
      created DATETIME
    );
  )sql");
}

// The reference tables keep the names the client's own SQL texts use (the administrator's table
// editor reads "Bolsa", "FmtBal", "BlocoDeContaBal", "CampoListaDeValores" ...). Codes compare
// whatever their case, as the client looks them up.
void CreateGeographyTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE Pais (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 79),
      cod3 TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
      cod2 TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
      nome TEXT NOT NULL
    );
    CREATE UNIQUE INDEX Pais_cod3 ON Pais (cod3) WHERE cod3 <> '';
    CREATE UNIQUE INDEX Pais_cod2 ON Pais (cod2) WHERE cod2 <> '';
    -- The client reads a currency's symbol as the last word of its name: no blank inside.
    CREATE TABLE Moeda (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 31),
      cod TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (cod <> '' AND instr(cod, ' ') = 0),
      pais INTEGER NOT NULL REFERENCES Pais (id),
      nome TEXT NOT NULL DEFAULT ''
    );
    CREATE TABLE Bolsa (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 32767),
      pais INTEGER NOT NULL REFERENCES Pais (id),
      cod TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (cod <> ''),
      cod_iso10383 TEXT NOT NULL DEFAULT '',
      id_anb_indice INTEGER NOT NULL DEFAULT 0,
      flag INTEGER NOT NULL DEFAULT 0,
      id_calendario INTEGER NOT NULL DEFAULT 0,
      outros_codigos_aceitos TEXT NOT NULL DEFAULT ''
    );
    -- uf: the id of the city's state.
    CREATE TABLE Cidade (id INTEGER PRIMARY KEY, nome TEXT NOT NULL, uf INTEGER NOT NULL DEFAULT 0);
  )sql");
}

// Multi-language names are held as "PT|EN|ES". Class 0 does not exist: a parent 0 means none.
void CreateCatalogueListTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE VoteStat (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 255),
      cod TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (cod <> '')
    );
    -- The client refuses a session whose type 0 lacks its mark.
    CREATE TABLE TipoObj (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 255),
      nome TEXT NOT NULL,
      marca INTEGER NOT NULL DEFAULT 0
    );
    CREATE TABLE TipoDeContrato (id INTEGER PRIMARY KEY, nome TEXT NOT NULL);
    CREATE TABLE TipoAplicacao (id INTEGER PRIMARY KEY, pais INTEGER NOT NULL REFERENCES Pais (id), nome TEXT NOT NULL);
    CREATE TABLE PfItemTipoClassificacao (
      id INTEGER PRIMARY KEY,
      pais INTEGER NOT NULL REFERENCES Pais (id),
      nome TEXT NOT NULL
    );
    CREATE TABLE BaseDeDadosComercializavel (id INTEGER PRIMARY KEY, nome TEXT NOT NULL);
    CREATE TABLE Classes (
      id INTEGER PRIMARY KEY CHECK (id > 0),
      nome TEXT NOT NULL,
      mae INTEGER REFERENCES Classes (id)
    );
    -- ordinal: the item's id within its field's list; doc: the item's document key.
    CREATE TABLE CampoListaDeValores (
      formatocampo INTEGER NOT NULL CHECK (formatocampo BETWEEN 0 AND 247),
      ordinal INTEGER NOT NULL CHECK (ordinal > 0),
      doc TEXT NOT NULL DEFAULT '',
      nomept TEXT NOT NULL,
      nomeen TEXT NOT NULL DEFAULT '',
      nomees TEXT NOT NULL DEFAULT '',
      PRIMARY KEY (formatocampo, ordinal)
    );
    CREATE UNIQUE INDEX CampoListaDeValores_doc ON CampoListaDeValores (formatocampo, doc) WHERE doc <> '';
  )sql");
}

// Statement templates, blocks and the per-account settings that the data entry honours.
void CreateStatementListTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE FmtBal (id INTEGER PRIMARY KEY, nome TEXT NOT NULL);
    CREATE TABLE BlocoDeContaBal (id INTEGER PRIMARY KEY, nome TEXT NOT NULL);
    CREATE TABLE HideNoZorInput (IdConta INTEGER PRIMARY KEY CHECK (IdConta BETWEEN 1 AND 8000));
    CREATE TABLE BlocoPadraoNaDigitacao (
      IdConta INTEGER PRIMARY KEY CHECK (IdConta BETWEEN 1 AND 8000),
      Num INTEGER NOT NULL
    );
    CREATE TABLE IdentificacaoDeContas (
      IdConta INTEGER PRIMARY KEY CHECK (IdConta BETWEEN 1 AND 8000),
      Identificacao INTEGER NOT NULL
    );
  )sql");
}

void CreateCorporateActionTypes(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE OcoTipo (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 32767),
      seq INTEGER NOT NULL DEFAULT 0,
      abrv TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (abrv <> ''),
      nome TEXT NOT NULL DEFAULT '',
      loca INTEGER NOT NULL DEFAULT 0,
      lb1 TEXT NOT NULL DEFAULT '',
      lb2 TEXT NOT NULL DEFAULT ''
    );
  )sql");
}

// What changed, for the bulletin generator: the data log, the pending bulletin requests and the
// bulletin destination of each ticker. A log row keeps its user's id after the user is gone.
void CreateChangeLogTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE DataLogTipo (id INTEGER PRIMARY KEY CHECK (id BETWEEN 0 AND 148), nome TEXT NOT NULL);
    CREATE TABLE DataLog (
      id INTEGER PRIMARY KEY,
      tip INTEGER NOT NULL REFERENCES DataLogTipo (id),
      oid INTEGER NOT NULL,
      aux INTEGER NOT NULL,
      date DATETIME,
      txt TEXT,
      usuario INTEGER NOT NULL,
      momento DATETIME NOT NULL
    );
    CREATE TABLE GBolPendente (
      id INTEGER PRIMARY KEY,
      prioridade INTEGER NOT NULL CHECK (prioridade BETWEEN 0 AND 9),
      motivo TEXT NOT NULL,
      usuario INTEGER NOT NULL,
      momento DATETIME NOT NULL
    );
    CREATE TABLE TipoDeBGLDestinoDoTicker (
      bolsa INTEGER NOT NULL REFERENCES Bolsa (id),
      cod TEXT NOT NULL,
      TipoDeBGLDestino INTEGER NOT NULL CHECK (TipoDeBGLDestino BETWEEN 0 AND 11),
      PRIMARY KEY (bolsa, cod)
    );
  )sql");
}

// Every new database holds the reference data the client checks at login.
void CreateReferenceData(SqliteDb& db) {
  CreateGeographyTables(db);
  CreateCatalogueListTables(db);
  CreateStatementListTables(db);
  CreateCorporateActionTypes(db);
  CreateChangeLogTables(db);
  SeedReferenceData(db);
}

// The object tree: a company owns classes, a class owns series (one ticker on one exchange).
// Codes compare whatever their case, as the client looks them up. The provisional-code map names
// its company and series by id only, so that it never stops them from being deleted.
void CreateCatalogue(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE empresa (
      id INTEGER PRIMARY KEY,
      cod TEXT NOT NULL CHECK (cod <> ''),
      pais INTEGER NOT NULL REFERENCES Pais (id),
      cnpj TEXT NOT NULL DEFAULT '',
      nome TEXT NOT NULL CHECK (nome <> ''),
      moedabal_local INTEGER NOT NULL DEFAULT 0 REFERENCES Moeda (id),
      moedabal_sec INTEGER NOT NULL DEFAULT 0 REFERENCES Moeda (id),
      fmtbal0 INTEGER NOT NULL DEFAULT 0,
      fmtbal1 INTEGER NOT NULL DEFAULT 0,
      fmtbal2 INTEGER NOT NULL DEFAULT 0,
      fmtbal3 INTEGER NOT NULL DEFAULT 0,
      naics INTEGER NOT NULL DEFAULT 0,
      moeda_informe_fidc INTEGER NOT NULL DEFAULT 0 REFERENCES Moeda (id),
      UNIQUE (pais, cod COLLATE NOCASE)
    );
    CREATE TABLE ativo (
      id INTEGER PRIMARY KEY,
      emp INTEGER NOT NULL REFERENCES empresa (id),
      idclass INTEGER NOT NULL REFERENCES Classes (id),
      vote INTEGER NOT NULL REFERENCES VoteStat (id),
      tipoobj INTEGER NOT NULL REFERENCES TipoObj (id)
    );
    CREATE INDEX ativo_emp ON ativo (emp);
    CREATE TABLE anbima (
      id INTEGER PRIMARY KEY,
      acao INTEGER NOT NULL REFERENCES ativo (id),
      cod TEXT NOT NULL CHECK (cod <> ''),
      bolsa INTEGER NOT NULL REFERENCES Bolsa (id),
      TipoDeBGLDestino INTEGER NOT NULL DEFAULT 0 CHECK (TipoDeBGLDestino BETWEEN 0 AND 11),
      moedacot INTEGER NOT NULL REFERENCES Moeda (id),
      PaisProCodZor INTEGER NOT NULL REFERENCES Pais (id),
      FormatoDeCadastro INTEGER NOT NULL DEFAULT 0,
      cancelado BOOLEAN NOT NULL DEFAULT 0,
      TrazDadosDaEmp BOOLEAN NOT NULL DEFAULT 0,
      NaoAparecerNoZor BOOLEAN NOT NULL DEFAULT 0,
      SerieMontada BOOLEAN NOT NULL DEFAULT 0,
      IdCalendario INTEGER NOT NULL DEFAULT 0,
      DisableCopy INTEGER NOT NULL DEFAULT 0 CHECK (DisableCopy IN (0, 1)),
      TipoDeContrato INTEGER NOT NULL DEFAULT 0,
      MapaFaskel INTEGER NOT NULL DEFAULT 0,
      OverrideGruposCampoCotacao INTEGER NOT NULL DEFAULT 0,
      NaoAparecerNoOmbrel BOOLEAN NOT NULL DEFAULT 0,
      UNIQUE (bolsa, cod COLLATE NOCASE)
    );
    CREATE INDEX anbima_acao ON anbima (acao);
    CREATE TABLE RegistroCodCVMparaAnbima (
      cod_provis TEXT PRIMARY KEY COLLATE NOCASE CHECK (cod_provis <> ''),
      cod_anbima TEXT NOT NULL CHECK (cod_anbima <> ''),
      idemp INTEGER NOT NULL DEFAULT 0,
      idanb INTEGER NOT NULL DEFAULT 0
    );
    -- One row per series of each class; a class without series once, with AnbId NULL.
    CREATE VIEW ObjListRoot AS
      SELECT a.emp AS EmpId, a.id AS AtvId, a.idclass AS AtvIdClass, a.tipoobj AS AtvTipoObj, s.id AS AnbId
      FROM ativo a LEFT JOIN anbima s ON s.acao = a.id;
    -- One row per object of the tree, the levels below it NULL.
    CREATE VIEW ObjIdList AS
      SELECT id AS EmpId, NULL AS AtvId, NULL AS AnbId FROM empresa
      UNION ALL SELECT emp, id, NULL FROM ativo
      UNION ALL SELECT a.emp, a.id, s.id FROM anbima s JOIN ativo a ON a.id = s.acao;
  )sql");
}

// A series' ISIN, by which import lines may name its company or class; empty when it has none.
void AddSeriesIsin(SqliteDb& db) {
  db.Exec(R"sql(
    ALTER TABLE anbima ADD COLUMN isin TEXT NOT NULL DEFAULT '';
    CREATE INDEX anbima_isin ON anbima (isin, bolsa) WHERE isin <> '';
  )sql");
}

// Quotes by series and day number (1920-01-01 is day 0, which no quote has), the 27 values NULL
// where there is none: a key of two integers keeps tens of millions of days compact. The bulletin
// destination of a ticker is its series' own; the table that was to hold it apart goes. The
// quote export selects series by their company's country and their class's type of asset.
void AddQuotes(SqliteDb& db) {
  std::string values;
  for (int i = 1; i <= 27; ++i) values += fmt::format("      v{} REAL,\n", i);
  db.Exec(fmt::format(R"sql(
    CREATE TABLE Cotacao (
      anb INTEGER NOT NULL REFERENCES anbima (id),
      dia INTEGER NOT NULL CHECK (dia BETWEEN 1 AND 65535),
{}      PRIMARY KEY (anb, dia)
    ) WITHOUT ROWID;
    DROP TABLE TipoDeBGLDestinoDoTicker;
    DROP VIEW ObjListRoot;
    CREATE VIEW ObjListRoot AS
      SELECT a.emp AS EmpId, e.pais AS EmpPais, a.id AS AtvId, a.idclass AS AtvIdClass, a.tipoobj AS AtvTipoObj,
             s.id AS AnbId, s.cod AS AnbCod, s.bolsa AS AnbBolsa
      FROM ativo a JOIN empresa e ON e.id = a.emp LEFT JOIN anbima s ON s.acao = a.id;
  )sql", values));
}

// The types of asset and the exchange that choose quote layouts of their own.
void AddQuoteLayoutReferences(SqliteDb& db) {
  const std::vector<std::vector<DbValue>> types = {
      {7, "Taxa|Rate|Tasa"},
      {9, "T\xEDtulo p\xFA" "blico|Government bond|Bono p\xFA" "blico"},
      {12, "Fundo de investimento|Investment fund|Fondo de inversi\xF3n"},
      {19, "T\xEDtulo privado|Corporate bond|Bono corporativo"},
      {21, "Fundo imobili\xE1rio|Real estate fund|Fondo inmobiliario"},
  };
  for (const auto& type : types) db.Run("INSERT OR IGNORE INTO TipoObj (id, nome, marca) VALUES (?, ?, 0)", type);
  db.Run("INSERT OR IGNORE INTO Bolsa (id, pais, cod, cod_iso10383, flag) VALUES (60, 0, 'BALCAO', '', 0)");
}

// Statements with their values, the account catalogue and the presentation formats. A statement
// is one per company, reference date, consolidated flag, document type and source; the procedures
// check the ranges of its fields, so that a row from elsewhere may still be read and refused.
void CreateStatements(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE Balanco (
      id INTEGER PRIMARY KEY,
      empresa INTEGER NOT NULL REFERENCES empresa (id),
      dataref DATETIME NOT NULL,
      consolidado INTEGER NOT NULL,
      sourcedobal INTEGER NOT NULL,
      TipoDocumento INTEGER NOT NULL,
      meses INTEGER NOT NULL DEFAULT 0,
      moeda INTEGER NOT NULL DEFAULT 0,
      datamoeda DATETIME,
      datadivulgacao DATETIME,
      DataUltAlteracao DATETIME,
      corrmon INTEGER NOT NULL DEFAULT 0,
      Incompleto BOOLEAN NOT NULL DEFAULT 0,
      ChecagemFalhou INTEGER NOT NULL DEFAULT 0,
      AceitarFalhaNaChecagem BOOLEAN NOT NULL DEFAULT 0,
      BalEntrouComoNovoBD BOOLEAN NOT NULL DEFAULT 0,
      UNIQUE (empresa, dataref, consolidado, TipoDocumento, sourcedobal)
    );
    CREATE TABLE BalancoUmaConta (
      balanco INTEGER NOT NULL REFERENCES Balanco (id) ON DELETE CASCADE,
      conta INTEGER NOT NULL CHECK (conta BETWEEN 1 AND 8000),
      De3Meses INTEGER NOT NULL CHECK (De3Meses IN (0, 1)),
      valor REAL,
      CalcOuRx BOOLEAN NOT NULL DEFAULT 0,
      PRIMARY KEY (balanco, De3Meses, conta)
    );
    CREATE TABLE BalancoNaoLogaContas (balanco INTEGER PRIMARY KEY);
    CREATE TABLE ContaBal (
      id INTEGER PRIMARY KEY CHECK (id BETWEEN 1 AND 8000),
      nome_extenso_Por TEXT NOT NULL DEFAULT '',
      nome_extenso_Ing TEXT NOT NULL DEFAULT '',
      nome_extenso_Esp TEXT NOT NULL DEFAULT '',
      nome_compacto_Por TEXT NOT NULL DEFAULT '',
      nome_compacto_Ing TEXT NOT NULL DEFAULT '',
      nome_compacto_Esp TEXT NOT NULL DEFAULT '',
      bloco INTEGER NOT NULL DEFAULT 0,
      ordemnobloco INTEGER NOT NULL DEFAULT 0,
      decimais INTEGER NOT NULL DEFAULT 0,
      formatacao INTEGER NOT NULL DEFAULT 0,
      caracs INTEGER NOT NULL DEFAULT 0,
      comocalcular INTEGER NOT NULL DEFAULT 0,
      comocalcular_num INTEGER NOT NULL DEFAULT 0,
      HideNoZorInput BOOLEAN NOT NULL DEFAULT 0,
      BlocoPadraoNaDigitacao INTEGER NOT NULL DEFAULT 0
    );
    ALTER TABLE FmtBal ADD COLUMN pais INTEGER NOT NULL DEFAULT 0;
    ALTER TABLE FmtBal ADD COLUMN nome_extenso TEXT NOT NULL DEFAULT '';
    ALTER TABLE FmtBal ADD COLUMN flags INTEGER NOT NULL DEFAULT 0;
    CREATE TABLE ApresFmtBalItems (
      fmtbal INTEGER NOT NULL REFERENCES FmtBal (id),
      seq INTEGER NOT NULL CHECK (seq BETWEEN 1 AND 4000),
      tipo INTEGER NOT NULL DEFAULT 0,
      conta INTEGER NOT NULL DEFAULT 0,
      sinal INTEGER NOT NULL DEFAULT 0,
      indentacao INTEGER NOT NULL DEFAULT 0,
      anvert INTEGER NOT NULL DEFAULT 0,
      hidden BOOLEAN NOT NULL DEFAULT 0,
      cafecomleite BOOLEAN NOT NULL DEFAULT 0,
      bloco INTEGER,
      NaoPodeCalcular BOOLEAN NOT NULL DEFAULT 0,
      NaoPodeDigitar BOOLEAN NOT NULL DEFAULT 0,
      IdentificacaoDeContas INTEGER NOT NULL DEFAULT 0,
      IndTituloCarteira INTEGER,
      IndTipoCarteira INTEGER,
      PRIMARY KEY (fmtbal, seq)
    );
  )sql");
}

// Shareholders and portfolio assets are twin registries: a holder has a country, documents (unique
// per country as the server stores them) and names, one of them the main one. A composition exists
// once per company and reference date, with at most one item per shareholder and share kind.
void CreateHoldersAndCompositions(SqliteDb& db) {
  for (const char* prefix : {"Shareholder", "PtfAssetTvm"}) {
    db.Exec(fmt::format(R"sql(
      CREATE TABLE {0} (id INTEGER PRIMARY KEY, pais INTEGER NOT NULL);
      CREATE TABLE {0}Doc (
        Id{0} INTEGER NOT NULL REFERENCES {0} (id) ON DELETE CASCADE,
        docpais INTEGER NOT NULL,
        doc TEXT NOT NULL,
        doc_id TEXT NOT NULL CHECK (doc_id <> ''),
        UNIQUE (docpais, doc_id)
      );
      CREATE INDEX {0}DocById ON {0}Doc (Id{0});
      CREATE TABLE {0}Nome (
        Id{0} INTEGER NOT NULL REFERENCES {0} (id) ON DELETE CASCADE,
        nome TEXT NOT NULL CHECK (nome <> ''),
        VaiProZor BOOLEAN NOT NULL DEFAULT 0,
        UNIQUE (Id{0}, nome)
      );
    )sql", prefix));
  }
  db.Exec(R"sql(
    CREATE TABLE CompAcionaria (
      id INTEGER PRIMARY KEY,
      emp INTEGER NOT NULL REFERENCES empresa (id),
      dtref DATETIME NOT NULL,
      dtpub DATETIME,
      dtrtf DATETIME,
      inpct BOOLEAN NOT NULL DEFAULT 0,
      freefloatcomvoto REAL,
      freefloatsemvoto REAL,
      freefloattodos REAL,
      totalcomvoto REAL,
      totalsemvoto REAL,
      totaltodos REAL,
      UNIQUE (emp, dtref)
    );
    CREATE TABLE CompAcionariaItem (
      IdCompAcionaria INTEGER NOT NULL REFERENCES CompAcionaria (id) ON DELETE CASCADE,
      IdShareholder INTEGER NOT NULL REFERENCES Shareholder (id),
      vot INTEGER NOT NULL CHECK (vot BETWEEN 0 AND 2),
      vlr REAL NOT NULL,
      PRIMARY KEY (IdCompAcionaria, IdShareholder, vot)
    );
  )sql");
}

// Corporate actions of a series by ex-date (a day number); an external key names one action.
void AddCorporateActions(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE Provento (
      id INTEGER PRIMARY KEY,
      anb INTEGER NOT NULL REFERENCES anbima (id),
      udex INTEGER NOT NULL CHECK (udex BETWEEN 1 AND 65535),
      seq INTEGER NOT NULL DEFAULT 0,
      tipo INTEGER NOT NULL,
      moeda INTEGER NOT NULL DEFAULT -1,
      acoes REAL,
      valor REAL,
      dtAprv INTEGER CHECK (dtAprv BETWEEN 1 AND 65535),
      dtPgto INTEGER CHECK (dtPgto BETWEEN 1 AND 65535),
      chaveExterna TEXT NOT NULL UNIQUE CHECK (trim(chaveExterna) <> '')
    );
    CREATE INDEX Provento_anb ON Provento (anb, udex, seq);
  )sql");
}

// News of a company: one item per company, publication day and sequence.
void AddNews(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE Noticia (
      id INTEGER PRIMARY KEY,
      emp INTEGER NOT NULL REFERENCES empresa (id),
      dia INTEGER NOT NULL CHECK (dia BETWEEN 1 AND 65535),
      seq INTEGER NOT NULL CHECK (seq >= 0),
      txt TEXT NOT NULL,
      UNIQUE (emp, dia, seq)
    );
  )sql");
}

// The share base: shares issued, in treasury and outstanding per company, day, statement source
// and class, each with its status; a number is NULL where there is none.
void AddShareBase(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE BaseAcionaria (
      emp INTEGER NOT NULL REFERENCES empresa (id),
      dia INTEGER NOT NULL CHECK (dia BETWEEN 1 AND 65535),
      source INTEGER NOT NULL CHECK (source BETWEEN 0 AND 7),
      idclass INTEGER NOT NULL REFERENCES Classes (id),
      total REAL,
      stattot INTEGER NOT NULL CHECK (stattot BETWEEN 0 AND 255),
      emtes REAL,
      statem INTEGER NOT NULL CHECK (statem BETWEEN 0 AND 255),
      extes REAL,
      statex INTEGER NOT NULL CHECK (statex BETWEEN 0 AND 255),
      PRIMARY KEY (emp, source, dia, idclass)
    ) WITHOUT ROWID;
  )sql");
}

constexpr std::array<MigrationStep, 18> kSteps = {
    CreateServerInfo,
    CreateUsers,
    CreateReferenceData,
    CreateCatalogue,
    AddSeriesIsin,
    AddQuotes,
    AddQuoteLayoutReferences,
    CreateIndicatorTables,
    CreateNameListTables,
    CreateStatements,
    CreateImportQueue,
    CreateHoldersAndCompositions,
    CreateRealEstateTables,
    CreatePortfolioTables,
    AddCorporateActions,
    AddNews,
    AddShareBase,
    AddIndicatorPresentation,
};

ServerError NotOurs(const std::string& path) {
  return ServerError(ServerError::Kind::NotOurDatabase, PathText(path) + " is not a ZorInput database");
}

}  // namespace

std::span<const MigrationStep> SchemaSteps() { return kSteps; }

int SchemaVersion(SqliteDb& db) { return static_cast<int>(db.QueryValue("PRAGMA user_version").AsInteger()); }

void CheckOwnership(SqliteDb& db, const std::string& path, std::span<const MigrationStep> steps) {
  // One statement reads every mark at once: read apart, a migration another process commits in
  // between would make a fresh file look like another application's.
  ResultSet marks;
  try {
    marks = db.Query(
        "SELECT (SELECT application_id FROM pragma_application_id), (SELECT count(*) FROM sqlite_schema), "
        "(SELECT user_version FROM pragma_user_version)");
  } catch (const SqliteError& e) {
    if (e.Code() == SQLITE_NOTADB) throw NotOurs(path);
    throw;
  }
  const int64_t applicationId = marks.rows.at(0).at(0).AsInteger();
  const int64_t objects = marks.rows.at(0).at(1).AsInteger();
  const int64_t version = marks.rows.at(0).at(2).AsInteger();
  const bool fresh = applicationId == 0 && objects == 0;
  if (applicationId != kApplicationId && !fresh) throw NotOurs(path);
  if (static_cast<size_t>(version) > steps.size()) {
    throw ServerError(
        ServerError::Kind::NotOurDatabase,
        fmt::format("{} has schema version {}, newer than the {} this program knows: use a newer ZorInput",
                    PathText(path), version, steps.size()));
  }
}

namespace {

ServerError Damaged(const std::string& path, const std::string& findings) {
  return ServerError(ServerError::Kind::Damaged, PathText(path) + " is damaged: " + findings);
}

// The first lines of SQLite's findings, joined: they say enough for support staff, and a badly
// damaged file gives hundreds.
std::string FirstFindings(const ResultSet& findings) {
  constexpr int kShownLines = 3;
  std::string shown;
  int lines = 0;
  for (const auto& row : findings.rows) {
    const std::string text = row[0].AsText();
    for (size_t start = 0; start <= text.size() && lines < kShownLines; ++lines) {
      const size_t end = std::min(text.find('\n', start), text.size());
      if (!shown.empty()) shown += "; ";
      shown += text.substr(start, end - start);
      start = end + 1;
    }
  }
  return shown;
}

}  // namespace

void CheckIntegrity(SqliteDb& db, const std::string& path) {
  ResultSet findings;
  try {
    findings = db.Query("PRAGMA quick_check");
  } catch (const SqliteError& e) {
    if (e.Code() == SQLITE_CORRUPT) throw Damaged(path, e.what());
    throw;
  }
  if (findings.rows.size() == 1 && findings.rows[0][0] == DbValue("ok")) return;
  throw Damaged(path, FirstFindings(findings));
}

void Migrate(SqliteDb& db, std::span<const MigrationStep> steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const int target = static_cast<int>(i) + 1;
    if (SchemaVersion(db) >= target) continue;
    AtomicScope scope(db);
    // Another process may have applied the step while this one waited for the write lock.
    if (SchemaVersion(db) >= target) continue;
    if (target == 1) db.Exec(fmt::format("PRAGMA application_id = {}", kApplicationId));
    steps[i](db);
    db.Exec(fmt::format("PRAGMA user_version = {}", target));
    db.Run("INSERT OR REPLACE INTO server_info (key, value) VALUES ('schema_version', ?)", {std::to_string(target)});
    scope.Commit();
  }
}

}  // namespace zi::server
