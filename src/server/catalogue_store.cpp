#include "server/catalogue_store.h"

#include <vector>

#include "server/sqlite_db.h"

namespace zi::server {

namespace {

DbValue IdOrNull(int64_t id) { return id == 0 ? DbValue() : DbValue(id); }

std::vector<DbValue> EmpresaValues(const Empresa& row) {
  return {row.cod,       row.pais,      row.cnpj,      row.nome,      row.moedabalLocal, row.moedabalSec,
          row.fmtbal[0], row.fmtbal[1], row.fmtbal[2], row.fmtbal[3], row.naics,         row.moedaInformeFidc};
}

std::vector<DbValue> AnbimaValues(const Anbima& row) {
  return {row.acao,
          row.cod,
          row.bolsa,
          row.tipoDeBGLDestino,
          row.moedacot,
          row.formatoDeCadastro,
          row.cancelado,
          row.trazDadosDaEmp,
          row.naoAparecerNoZor,
          row.idCalendario,
          row.disableCopy,
          row.tipoDeContrato,
          row.mapaFaskel,
          row.overrideGruposCampoCotacao,
          row.naoAparecerNoOmbrel,
          row.acao};
}

constexpr const char* kCompanyCountryOfClass =
    "(SELECT e.pais FROM ativo a JOIN empresa e ON e.id = a.emp WHERE a.id = ?)";

}  // namespace

int64_t InsertEmpresa(SqliteDb& db, const Empresa& row) {
  std::vector<DbValue> values{IdOrNull(row.id)};
  for (DbValue& value : EmpresaValues(row)) values.push_back(std::move(value));
  db.Run(
      "INSERT INTO empresa (id, cod, pais, cnpj, nome, moedabal_local, moedabal_sec, fmtbal0, fmtbal1, fmtbal2, "
      "fmtbal3, naics, moeda_informe_fidc) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      values);
  return db.LastInsertRowId();
}

void UpdateEmpresa(SqliteDb& db, const Empresa& row) {
  std::vector<DbValue> values = EmpresaValues(row);
  values.push_back(row.id);
  db.Run(
      "UPDATE empresa SET cod = ?, pais = ?, cnpj = ?, nome = ?, moedabal_local = ?, moedabal_sec = ?, fmtbal0 = ?, "
      "fmtbal1 = ?, fmtbal2 = ?, fmtbal3 = ?, naics = ?, moeda_informe_fidc = ? WHERE id = ?",
      values);
}

std::optional<Empresa> ReadEmpresa(SqliteDb& db, int64_t id) {
  const ResultSet found = db.Query(
      "SELECT id, cod, pais, cnpj, nome, moedabal_local, moedabal_sec, fmtbal0, fmtbal1, fmtbal2, fmtbal3, naics, "
      "moeda_informe_fidc FROM empresa WHERE id = ?",
      {id});
  if (found.rows.empty()) return std::nullopt;
  const std::vector<DbValue>& r = found.rows[0];
  return Empresa{.id = r[0].AsInteger(),
                 .cod = r[1].AsText(),
                 .pais = r[2].AsInteger(),
                 .cnpj = r[3].AsText(),
                 .nome = r[4].AsText(),
                 .moedabalLocal = r[5].AsInteger(),
                 .moedabalSec = r[6].AsInteger(),
                 .fmtbal = {r[7].AsInteger(), r[8].AsInteger(), r[9].AsInteger(), r[10].AsInteger()},
                 .naics = r[11].AsInteger(),
                 .moedaInformeFidc = r[12].AsInteger()};
}

int64_t InsertAtivo(SqliteDb& db, const Ativo& row) {
  db.Run("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (?, ?, ?, ?, ?)",
         {IdOrNull(row.id), row.emp, row.idclass, row.vote, row.tipoobj});
  return db.LastInsertRowId();
}

void UpdateAtivo(SqliteDb& db, const Ativo& row) {
  db.Run("UPDATE ativo SET emp = ?, idclass = ?, vote = ?, tipoobj = ? WHERE id = ?",
         {row.emp, row.idclass, row.vote, row.tipoobj, row.id});
}

std::optional<Ativo> ReadAtivo(SqliteDb& db, int64_t id) {
  const ResultSet found = db.Query("SELECT id, emp, idclass, vote, tipoobj FROM ativo WHERE id = ?", {id});
  if (found.rows.empty()) return std::nullopt;
  const std::vector<DbValue>& r = found.rows[0];
  return Ativo{r[0].AsInteger(), r[1].AsInteger(), r[2].AsInteger(), r[3].AsInteger(), r[4].AsInteger()};
}

int64_t InsertAnbima(SqliteDb& db, const Anbima& row) {
  std::vector<DbValue> values{IdOrNull(row.id)};
  for (DbValue& value : AnbimaValues(row)) values.push_back(std::move(value));
  db.Run(std::string("INSERT INTO anbima (id, acao, cod, bolsa, TipoDeBGLDestino, moedacot, FormatoDeCadastro, "
                     "cancelado, TrazDadosDaEmp, NaoAparecerNoZor, IdCalendario, DisableCopy, TipoDeContrato, "
                     "MapaFaskel, OverrideGruposCampoCotacao, NaoAparecerNoOmbrel, PaisProCodZor) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ") +
             kCompanyCountryOfClass + ")",
         values);
  return db.LastInsertRowId();
}

void UpdateAnbima(SqliteDb& db, const Anbima& row) {
  std::vector<DbValue> values = AnbimaValues(row);
  values.push_back(row.id);
  db.Run(std::string("UPDATE anbima SET acao = ?, cod = ?, bolsa = ?, TipoDeBGLDestino = ?, moedacot = ?, "
                     "FormatoDeCadastro = ?, cancelado = ?, TrazDadosDaEmp = ?, NaoAparecerNoZor = ?, "
                     "IdCalendario = ?, DisableCopy = ?, TipoDeContrato = ?, MapaFaskel = ?, "
                     "OverrideGruposCampoCotacao = ?, NaoAparecerNoOmbrel = ?, PaisProCodZor = ") +
             kCompanyCountryOfClass + " WHERE id = ?",
         values);
}

std::optional<Anbima> ReadAnbima(SqliteDb& db, int64_t id) {
  const ResultSet found = db.Query(
      "SELECT id, acao, cod, bolsa, TipoDeBGLDestino, moedacot, PaisProCodZor, FormatoDeCadastro, cancelado, "
      "TrazDadosDaEmp, NaoAparecerNoZor, SerieMontada, IdCalendario, DisableCopy, TipoDeContrato, MapaFaskel, "
      "OverrideGruposCampoCotacao, NaoAparecerNoOmbrel FROM anbima WHERE id = ?",
      {id});
  if (found.rows.empty()) return std::nullopt;
  const std::vector<DbValue>& r = found.rows[0];
  return Anbima{.id = r[0].AsInteger(),
                .acao = r[1].AsInteger(),
                .cod = r[2].AsText(),
                .bolsa = r[3].AsInteger(),
                .tipoDeBGLDestino = r[4].AsInteger(),
                .moedacot = r[5].AsInteger(),
                .paisProCodZor = r[6].AsInteger(),
                .formatoDeCadastro = r[7].AsInteger(),
                .cancelado = r[8].AsBoolean(),
                .trazDadosDaEmp = r[9].AsBoolean(),
                .naoAparecerNoZor = r[10].AsBoolean(),
                .serieMontada = r[11].AsBoolean(),
                .idCalendario = r[12].AsInteger(),
                .disableCopy = r[13].AsInteger(),
                .tipoDeContrato = r[14].AsInteger(),
                .mapaFaskel = r[15].AsInteger(),
                .overrideGruposCampoCotacao = r[16].AsInteger(),
                .naoAparecerNoOmbrel = r[17].AsBoolean()};
}

}  // namespace zi::server
