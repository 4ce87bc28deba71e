#pragma once
// The rows of the object tree and the SQL that writes and reads them, shared by the procedures
// and the demo catalogue. Nothing here checks rights or values: the callers do.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zi::server {

class SqliteDb;

struct Empresa {
  int64_t id = 0;
  std::string cod;
  int64_t pais = 0;
  std::string cnpj;
  std::string nome;
  int64_t moedabalLocal = 0;
  int64_t moedabalSec = 0;
  std::array<int64_t, 4> fmtbal{};  // by statement source 0..3
  int64_t naics = 0;
  int64_t moedaInformeFidc = 0;

  bool operator==(const Empresa&) const = default;
};

struct Ativo {
  int64_t id = 0;
  int64_t emp = 0;
  int64_t idclass = 0;
  int64_t vote = 0;
  int64_t tipoobj = 0;

  bool operator==(const Ativo&) const = default;
};

struct Anbima {
  int64_t id = 0;
  int64_t acao = 0;
  std::string cod;
  int64_t bolsa = 0;
  int64_t tipoDeBGLDestino = 0;
  int64_t moedacot = 0;
  int64_t paisProCodZor = 0;  // written from the series' company, never from the caller
  int64_t formatoDeCadastro = 0;
  bool cancelado = false;
  bool trazDadosDaEmp = false;
  bool naoAparecerNoZor = false;
  bool serieMontada = false;  // read only
  int64_t idCalendario = 0;
  int64_t disableCopy = 0;
  int64_t tipoDeContrato = 0;
  int64_t mapaFaskel = 0;
  int64_t overrideGruposCampoCotacao = 0;
  bool naoAparecerNoOmbrel = false;

  bool operator==(const Anbima&) const = default;
};

// Inserts return the new id; an id of 0 in the row lets the database choose it.
int64_t InsertEmpresa(SqliteDb& db, const Empresa& row);
void UpdateEmpresa(SqliteDb& db, const Empresa& row);
std::optional<Empresa> ReadEmpresa(SqliteDb& db, int64_t id);

int64_t InsertAtivo(SqliteDb& db, const Ativo& row);
void UpdateAtivo(SqliteDb& db, const Ativo& row);
std::optional<Ativo> ReadAtivo(SqliteDb& db, int64_t id);

// The series' PaisProCodZor becomes the country of its class's company.
int64_t InsertAnbima(SqliteDb& db, const Anbima& row);
void UpdateAnbima(SqliteDb& db, const Anbima& row);
std::optional<Anbima> ReadAnbima(SqliteDb& db, int64_t id);

}  // namespace zi::server
