#include "server/procedures.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/like_pattern.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// The property register: properties (Imovel), the documents sources know them by (ImovelDoc) and
// the neighbourhoods of cities (Bairro). Every logged-in user may read and write it. Besides 0 the
// procedures answer:
// - 18456 without a logged-in user, or when the user's row is gone;
// - 99101 NULL or blanks where a value is required: an address, a city, a document (also one that
//   cleaning leaves empty), an id;
// - 99103 a city or neighbourhood that does not exist, a neighbourhood of another city, a document
//   added to a property that does not exist;
// - 99106 a document already held by another property (one property per stored identifier); the
//   same document added again to its own property changes nothing and answers 0;
// - 8605 ImovelPut of a property that does not exist; 8604 ImovelDel and ImovelDocDel of one that
//   does not exist.
// A written document is cleaned into its stored identifier when the caller allows it (its letters
// and digits, upper-cased); otherwise the trimmed text is the identifier. PtfImovelGetList matches
// @searchText against description, address and written document with the LIKE of like_pattern.h;
// an empty text lists everything.
constexpr const char* kPropertyColumns = "SELECT id, descricao, endereco, idcidade, idbairro, ocr FROM Imovel ";

std::string CleanedDocument(const std::string& text) {
  std::string cleaned;
  for (char c : text)
    if (IsLetterOrDigitCp1252(c)) cleaned += c;
  return UpperCp1252(cleaned);
}

std::string StoredIdentifier(ProcContext& call, const std::string& docParam, const std::string& cleanParam) {
  const std::string text = Trim(TextOr(call, docParam));
  return Flag(call, cleanParam) ? CleanedDocument(text) : text;
}

bool PropertyExists(ProcContext& call, const DbValue& id) {
  return Exists(call, "SELECT EXISTS (SELECT 1 FROM Imovel WHERE id = ?)", {id});
}

// The checks of the fields that ImovelAdd and ImovelPut write.
int CheckPropertyFields(ProcContext& call) {
  if (const int code = FirstFailure({RequiredText(call, "@endereco"), call.IsNull("@idCidade") ? kValueMissing : 0})) {
    return code;
  }
  if (!Exists(call, "SELECT EXISTS (SELECT 1 FROM Cidade WHERE id = ?)", {call.In("@idCidade")})) return kUnknownReference;
  if (!call.IsNull("@idBairro") &&
      !Exists(call, "SELECT EXISTS (SELECT 1 FROM Bairro WHERE id = ? AND idcidade = ?)", {call.In("@idBairro"), call.In("@idCidade")}))
    return kUnknownReference;
  return 0;
}

// Attaches an identifier to a property: 0, or 99106 when another property holds it.
int AttachDocument(ProcContext& call, int64_t property, const std::string& docId, const std::string& written) {
  if (docId.empty()) return kValueMissing;
  const DbValue holder = call.Db().QueryValue("SELECT idImovel FROM ImovelDoc WHERE doc_id = ?", {docId});
  if (!holder.IsNull()) return holder.AsInteger() == property ? 0 : kCodeTaken;
  call.Db().Run("INSERT INTO ImovelDoc (doc_id, idImovel, doc) VALUES (?, ?, ?)", {docId, property, written});
  return 0;
}

std::vector<DbValue> FieldValues(ProcContext& call) {
  return {call.In("@descricao"), Trim(TextOr(call, "@endereco")), call.In("@idCidade"), call.In("@idBairro"),
          call.In("@ocr")};
}

int ImovelGet(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet(std::string(kPropertyColumns) + "WHERE id = ?", {call.In("@id")});
  return 0;
}

int ImovelGetByDocId(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet(std::string(kPropertyColumns) + "WHERE id = (SELECT idImovel FROM ImovelDoc WHERE doc_id = ?)",
                    {StoredIdentifier(call, "@doc_id", "@PodeLimparDocID")});
  return 0;
}

int ImovelAdd(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), CheckPropertyFields(call)})) return code;
  const std::string docId = StoredIdentifier(call, "@doc", "@podeLimparDoc");
  if (docId.empty()) return kValueMissing;
  call.Db().Run("INSERT INTO Imovel (descricao, endereco, idcidade, idbairro, ocr) VALUES (?, ?, ?, ?, ?)",
                FieldValues(call));
  const int64_t id = call.Db().LastInsertRowId();
  if (const int code = AttachDocument(call, id, docId, Trim(TextOr(call, "@doc")))) return code;
  call.SetOut("@id", id);
  return 0;
}

int ImovelPut(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!PropertyExists(call, call.In("@id"))) return kNotFoundToUpdate;
  if (const int code = CheckPropertyFields(call)) return code;
  std::vector<DbValue> values = FieldValues(call);
  values.push_back(call.In("@id"));
  call.Db().Run("UPDATE Imovel SET descricao = ?, endereco = ?, idcidade = ?, idbairro = ?, ocr = ? WHERE id = ?",
                values);
  return 0;
}

int ImovelDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
  if (!PropertyExists(call, call.In("@id"))) return kNotFoundToDelete;
  call.Db().Run("DELETE FROM ImovelDoc WHERE idImovel = ?", {call.In("@id")});
  call.Db().Run("DELETE FROM Imovel WHERE id = ?", {call.In("@id")});
  return 0;
}

int ImovelDocAdd(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), call.IsNull("@idImovel") ? kValueMissing : 0})) return code;
  if (!PropertyExists(call, call.In("@idImovel"))) return kUnknownReference;
  return AttachDocument(call, Integer(call, "@idImovel"), StoredIdentifier(call, "@newdoc", "@podeLimparDoc"),
                        Trim(TextOr(call, "@newdoc")));
}

int ImovelDocDel(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@doc_id")})) return code;
  return call.Db().Run("DELETE FROM ImovelDoc WHERE doc_id = ?", {Trim(TextOr(call, "@doc_id"))}) == 0
             ? kNotFoundToDelete
             : 0;
}

int PtfImovelGetList(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  const std::string pattern = TextOr(call, "@searchText");
  ResultSet all = call.Db().Query(
      "SELECT i.id, i.descricao, i.endereco, i.idcidade, i.idbairro, d.doc_id, d.doc "
      "FROM Imovel i LEFT JOIN ImovelDoc d ON d.idImovel = i.id ORDER BY i.descricao, i.id, d.doc_id");
  ResultSet found{all.columns, {}};
  const auto matches = [&](const DbValue& value) {
    return !value.IsNull() && MatchesLike(value.AsText(), pattern);
  };
  for (auto& row : all.rows)
    if (pattern.empty() || matches(row[1]) || matches(row[2]) || matches(row[6])) found.rows.push_back(std::move(row));
  call.AddResultSet(std::move(found));
  return 0;
}

int GetBairroByCidade(ProcContext& call) {
  if (const int code = RequireUser(call)) return code;
  call.AddResultSet("SELECT id, descricao FROM Bairro WHERE idcidade = ? ORDER BY descricao, id", {call.In("@id")});
  return 0;
}

ParamInfo In(const char* name, DbType type) { return {name, type, ParamDirection::Input}; }

}  // namespace

void CreateRealEstateTables(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE Bairro (
      id INTEGER PRIMARY KEY,
      idcidade INTEGER NOT NULL REFERENCES Cidade (id),
      descricao TEXT NOT NULL
    );
    CREATE TABLE Imovel (
      id INTEGER PRIMARY KEY,
      descricao TEXT,
      endereco TEXT NOT NULL,
      idcidade INTEGER NOT NULL REFERENCES Cidade (id),
      idbairro INTEGER REFERENCES Bairro (id),
      ocr TEXT
    );
    CREATE TABLE ImovelDoc (
      doc_id TEXT PRIMARY KEY,
      idImovel INTEGER NOT NULL REFERENCES Imovel (id),
      doc TEXT NOT NULL
    );
    CREATE INDEX ImovelDoc_imovel ON ImovelDoc (idImovel);
  )sql");
}

void RegisterRealEstateProcedures(Registry& registry) {
  constexpr DbType kInt = DbType::Integer;
  constexpr DbType kText = DbType::Text;
  constexpr DbType kBool = DbType::Boolean;
  const std::vector<ParamInfo> fields = {In("@descricao", kText), In("@endereco", kText), In("@idCidade", kInt),
                                         In("@idBairro", kInt), In("@ocr", kText)};
  registry.Add({"ImovelGet", ProcAccess::Reads, {In("@id", kInt)}, ImovelGet});
  registry.Add({"ImovelGetByDocId", ProcAccess::Reads, {In("@doc_id", kText), In("@PodeLimparDocID", kBool)},
                ImovelGetByDocId});
  std::vector<ParamInfo> add = fields;
  add.insert(add.end(), {In("@doc", kText), In("@podeLimparDoc", kBool), {"@id", kInt, ParamDirection::Output}});
  registry.Add({"ImovelAdd", ProcAccess::Writes, add, ImovelAdd});
  std::vector<ParamInfo> put = {In("@id", kInt)};
  put.insert(put.end(), fields.begin(), fields.end());
  registry.Add({"ImovelPut", ProcAccess::Writes, put, ImovelPut});
  registry.Add({"ImovelDel", ProcAccess::Writes, {In("@id", kInt)}, ImovelDel});
  registry.Add({"ImovelDocAdd",
                ProcAccess::Writes,
                {In("@idImovel", kInt), In("@newdoc", kText), In("@podeLimparDoc", kBool)},
                ImovelDocAdd});
  registry.Add({"ImovelDocDel", ProcAccess::Writes, {In("@doc_id", kText)}, ImovelDocDel});
  registry.Add({"PtfImovelGetList", ProcAccess::Reads, {In("@searchText", kText)}, PtfImovelGetList});
  registry.Add({"getBairroByCidade", ProcAccess::Reads, {In("@id", kInt)}, GetBairroByCidade});
}

}  // namespace zi::server
