#include "server/procedures.h"

#include <cstdint>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "server/multi_result.h"
#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi::server {

namespace {

// The twin holder registries, shareholders and portfolio assets: the same procedures under the
// prefixes Shareholder and PtfAssetTvm, over the tables {prefix}, {prefix}Doc and {prefix}Nome.
// Every procedure needs a logged-in user (18456). Besides 0 they answer:
// - Get: 99104 no holder has the id; its rows are id, pais, nome (the main name), doc, docpais,
//   doc_id, one per document.
// - Add: 4196 the document (as stored) already belongs to a holder in that country; 99101 an empty
//   name or document, or no country; 99102 a name over 130 or a document over 95 characters.
//   The holder gets the name as its main name and the document.
// - Put: 8605 no holder has the id; 4196 the document belongs to another holder; 99101/99102 as
//   Add. With @ManterNomesExistentes the name joins the holder's names, else it replaces them; with
//   @ManterDocsExistentes the document joins its documents, else it replaces them. The name becomes
//   the main one with @ForcaNomeVaiProZor, when it replaces the names, or when none is main.
// - AddDoc: 99104 no holder has the id; 4196 the document is taken; 99101 an empty document.
// - DelDoc: 8604 no such document. A holder keeps at least one document: its last is refused
//   with 99102.
// - Del: 8605 no such holder; 99700 the holder is still used by compositions (shareholders), with
//   the outputs naming one company and the number of compositions.
// - GetByDocPais: 4178 no holder has the document in the country. Among the holder's names the
//   one with the name key of @tentaessenome is returned, else the main name.
// - ListNames: the multi-result convention; 99104 no such holder.
// - NomeDel: 8604 no such name; 99102 the main name or the last name. NomeMod: adds the name when
//   the holder lacks it; with @VaiProZor it becomes the main name.
// The stored identifier of a written document, with @PodeLimparDocID, is its document key (ASCII
// letters upper-cased, everything but letters and digits removed), except for a provisional
// document (one holding "-PROVIS"), stored as written; without the flag it is the text as given.
constexpr int kHolderNotFound = 4178;
constexpr int kDocumentTaken = 4196;
constexpr size_t kMaxName = 130;
constexpr size_t kMaxDocument = 95;

struct THolderTables {
  const char* prefix;
  const char* delCompanyOut;
  const char* delCountOut;
};

constexpr THolderTables kShareholders{"Shareholder", "@EmpDeQueEhShareholder", "@NumCompAcionariasDeQueParticipa"};
constexpr THolderTables kPtfAssets{"PtfAssetTvm", "@EmpDeQueEhPtfItemTvm", "@NumPtfDeQueParticipa"};

// A BOOLEAN column reads as a boolean, an expression over one as an integer.
bool IsTrue(const DbValue& value) {
  return value.Type() == DbType::Boolean ? value.AsBoolean() : !value.IsNull() && value.AsInteger() != 0;
}

std::string KeyOf(std::string_view text) {
  std::string key;
  for (const char c : text) {
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9')) key += upper;
  }
  return key;
}

std::string StoredDocument(const std::string& written, bool mayClean) {
  const std::string doc = Trim(written);
  if (!mayClean) return doc;
  std::string upper = doc;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper.find("-PROVIS") != std::string::npos ? doc : KeyOf(doc);
}

int CheckLengths(ProcContext& call, const std::string& name, const std::string& doc) {
  return Trim(TextOr(call, name)).size() > kMaxName || Trim(TextOr(call, doc)).size() > kMaxDocument ? kOutOfRange
                                                                                                       : 0;
}

class THolderProcs {
 public:
  explicit THolderProcs(const THolderTables& tables) : t_(tables), p_(tables.prefix) {}

  int Get(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
    if (!HolderExists(call, call.In("@id"))) return kNotFound;
    call.AddResultSet(fmt::format("SELECT h.id, h.pais, coalesce(n.nome, '') AS nome, d.doc, d.docpais, d.doc_id "
                                  "FROM {0} h JOIN {0}Doc d ON d.Id{0} = h.id "
                                  "LEFT JOIN {0}Nome n ON n.Id{0} = h.id AND n.VaiProZor "
                                  "WHERE h.id = ? ORDER BY d.rowid",
                                  p_),
                      {call.In("@id")});
    return 0;
  }

  int Add(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@nome"), RequiredText(call, "@doc"),
                                       call.IsNull("@pais") ? kValueMissing : 0, CheckLengths(call, "@nome", "@doc")})) {
      return code;
    }
    const std::string docId = StoredDocument(TextOr(call, "@doc"), Flag(call, "@PodeLimparDocID"));
    if (docId.empty()) return kValueMissing;
    if (DocumentOwner(call, call.In("@pais"), docId)) return kDocumentTaken;
    const int64_t id = call.Db().QueryValue(fmt::format("INSERT INTO {0} (pais) VALUES (?) RETURNING id", p_),
                                            {call.In("@pais")})
                           .AsInteger();
    InsertDocument(call, id, call.In("@pais"), TextOr(call, "@doc"), docId);
    call.Db().Run(fmt::format("INSERT INTO {0}Nome (Id{0}, nome, VaiProZor) VALUES (?, ?, 1)", p_),
                  {id, Trim(TextOr(call, "@nome"))});
    return 0;
  }

  int Put(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@nome"),
                                       call.IsNull("@pais") ? kValueMissing : 0, CheckLengths(call, "@nome", "@doc")})) {
      return code;
    }
    if (!HolderExists(call, call.In("@id"))) return kNotFoundToUpdate;
    const int64_t id = Integer(call, "@id");
    call.Db().Run(fmt::format("UPDATE {0} SET pais = ? WHERE id = ?", p_), {call.In("@pais"), id});
    const std::string written = Trim(TextOr(call, "@doc"));
    if (!written.empty()) {
      const std::string docId = StoredDocument(written, Flag(call, "@PodeLimparDocID"));
      if (docId.empty()) return kValueMissing;
      const std::optional<int64_t> owner = DocumentOwner(call, call.In("@pais"), docId);
      if (owner && *owner != id) return kDocumentTaken;
      if (!Flag(call, "@ManterDocsExistentes")) {
        call.Db().Run(fmt::format("DELETE FROM {0}Doc WHERE Id{0} = ? AND NOT (docpais = ? AND doc_id = ?)", p_),
                      {id, call.In("@pais"), docId});
      }
      if (!owner) InsertDocument(call, id, call.In("@pais"), written, docId);
    }
    const bool keepNames = Flag(call, "@ManterNomesExistentes");
    const std::string nome = Trim(TextOr(call, "@nome"));
    if (!keepNames) call.Db().Run(fmt::format("DELETE FROM {0}Nome WHERE Id{0} = ? AND nome <> ?", p_), {id, nome});
    SaveName(call, id, nome, Flag(call, "@ForcaNomeVaiProZor") || !keepNames);
    return 0;
  }

  int AddDoc(ProcContext& call) {
    const std::string idParam = std::string("@Id") + p_;
    if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@newdoc"),
                                       call.IsNull("@newdocpais") ? kValueMissing : 0,
                                       Trim(TextOr(call, "@newdoc")).size() > kMaxDocument ? kOutOfRange : 0})) {
      return code;
    }
    if (!HolderExists(call, call.In(idParam))) return kNotFound;
    const std::string docId = StoredDocument(TextOr(call, "@newdoc"), Flag(call, "@PodeLimparDocID"));
    if (docId.empty()) return kValueMissing;
    if (DocumentOwner(call, call.In("@newdocpais"), docId)) return kDocumentTaken;
    InsertDocument(call, Integer(call, idParam), call.In("@newdocpais"), TextOr(call, "@newdoc"), docId);
    return 0;
  }

  int DelDoc(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@doc_id")})) return code;
    const std::optional<int64_t> owner = DocumentOwner(call, call.In("@docpais"), Trim(TextOr(call, "@doc_id")));
    if (!owner) return kNotFoundToDelete;
    if (Count(call, fmt::format("SELECT count(*) FROM {0}Doc WHERE Id{0} = ?", p_), {*owner}) < 2) return kOutOfRange;
    call.Db().Run(fmt::format("DELETE FROM {0}Doc WHERE docpais = ? AND doc_id = ?", p_),
                  {call.In("@docpais"), Trim(TextOr(call, "@doc_id"))});
    return 0;
  }

  int Del(ProcContext& call) {
    call.SetOut(t_.delCompanyOut, int64_t{0});
    call.SetOut(t_.delCountOut, int64_t{0});
    if (const int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0})) return code;
    if (!HolderExists(call, call.In("@id"))) return kNotFoundToUpdate;
    if (std::string_view(p_) == kShareholders.prefix) {
      const int64_t uses =
          Count(call, "SELECT count(DISTINCT IdCompAcionaria) FROM CompAcionariaItem WHERE IdShareholder = ?",
                {call.In("@id")});
      if (uses > 0) {
        call.SetOut(t_.delCompanyOut, call.Db().QueryValue("SELECT c.emp FROM CompAcionaria c JOIN CompAcionariaItem i "
                                                           "ON i.IdCompAcionaria = c.id WHERE i.IdShareholder = ? "
                                                           "ORDER BY c.emp LIMIT 1",
                                                           {call.In("@id")}));
        call.SetOut(t_.delCountOut, uses);
        return kHolderStillUsed;
      }
    }
    call.Db().Run(fmt::format("DELETE FROM {0} WHERE id = ?", p_), {call.In("@id")});
    return 0;
  }

  int GetByDocPais(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), call.IsNull("@docpais_in") ? kValueMissing : 0})) {
      return code;
    }
    const std::string docId = StoredDocument(TextOr(call, "@doc_in"), Flag(call, "@PodeLimparDocID"));
    if (docId.empty()) return kHolderNotFound;
    const std::optional<int64_t> id = DocumentOwner(call, call.In("@docpais_in"), docId);
    if (!id) return kHolderNotFound;
    const ResultSet names = call.Db().Query(
        fmt::format("SELECT nome, VaiProZor FROM {0}Nome WHERE Id{0} = ? ORDER BY VaiProZor DESC, rowid", p_), {*id});
    const std::string wanted = KeyOf(TextOr(call, "@tentaessenome"));
    size_t chosen = 0;
    for (size_t i = 0; i < names.rows.size() && !wanted.empty(); ++i) {
      if (KeyOf(names.rows[i][0].AsText()) == wanted) {
        chosen = i;
        break;
      }
    }
    call.SetOut("@id", *id);
    call.SetOut("@doc", call.Db().QueryValue(fmt::format("SELECT doc FROM {0}Doc WHERE docpais = ? AND doc_id = ?", p_),
                                             {call.In("@docpais_in"), docId}));
    if (names.rows.empty()) return 0;
    const auto& row = names.rows[chosen];
    call.SetOut("@nome", row[0]);
    call.SetOut("@VaiProZor", IsTrue(row[1]));
    if (IsTrue(names.rows[0][1])) call.SetOut("@NomeProZor", names.rows[0][0]);
    return 0;
  }

  int ListNames(ProcContext& call) {
    int code = FirstFailure({RequireUser(call), call.IsNull("@id") ? kValueMissing : 0});
    if (code == 0 && !HolderExists(call, call.In("@id"))) code = kNotFound;
    return AnswerMultiResult(call, code,
                             fmt::format("SELECT nome, VaiProZor FROM {0}Nome WHERE Id{0} = ? ORDER BY rowid", p_),
                             {call.In("@id")});
  }

  int NomeDel(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@nome")})) return code;
    const std::vector<DbValue> key = {call.In("@id"), Trim(TextOr(call, "@nome"))};
    const DbValue main = call.Db().QueryValue(fmt::format("SELECT VaiProZor FROM {0}Nome WHERE Id{0} = ? AND nome = ?", p_), key);
    if (main.IsNull()) return kNotFoundToDelete;
    if (IsTrue(main) || Count(call, fmt::format("SELECT count(*) FROM {0}Nome WHERE Id{0} = ?", p_), {key[0]}) < 2) {
      return kOutOfRange;
    }
    call.Db().Run(fmt::format("DELETE FROM {0}Nome WHERE Id{0} = ? AND nome = ?", p_), key);
    return 0;
  }

  int NomeMod(ProcContext& call) {
    if (const int code = FirstFailure({RequireUser(call), RequiredText(call, "@nome"),
                                       Trim(TextOr(call, "@nome")).size() > kMaxName ? kOutOfRange : 0})) {
      return code;
    }
    if (!HolderExists(call, call.In("@id"))) return kNotFoundToUpdate;
    SaveName(call, Integer(call, "@id"), Trim(TextOr(call, "@nome")), Flag(call, "@VaiProZor"));
    return 0;
  }

 private:
  bool HolderExists(ProcContext& call, const DbValue& id) {
    return !id.IsNull() && Exists(call, fmt::format("SELECT EXISTS (SELECT 1 FROM {0} WHERE id = ?)", p_), {id});
  }
  std::optional<int64_t> DocumentOwner(ProcContext& call, const DbValue& pais, const std::string& docId) {
    const DbValue owner =
        call.Db().QueryValue(fmt::format("SELECT Id{0} FROM {0}Doc WHERE docpais = ? AND doc_id = ?", p_), {pais, docId});
    if (owner.IsNull()) return std::nullopt;
    return owner.AsInteger();
  }
  void InsertDocument(ProcContext& call, int64_t id, const DbValue& pais, const std::string& written,
                      const std::string& docId) {
    call.Db().Run(fmt::format("INSERT INTO {0}Doc (Id{0}, docpais, doc, doc_id) VALUES (?, ?, ?, ?)", p_),
                  {id, pais, Trim(written), docId});
  }
  // Adds the name when missing; a main name takes the mark from the others, and a holder without
  // a main name gets this one.
  void SaveName(ProcContext& call, int64_t id, const std::string& nome, bool main) {
    call.Db().Run(fmt::format("INSERT OR IGNORE INTO {0}Nome (Id{0}, nome, VaiProZor) VALUES (?, ?, 0)", p_), {id, nome});
    const bool hasMain = Exists(call, fmt::format("SELECT EXISTS (SELECT 1 FROM {0}Nome WHERE Id{0} = ? AND VaiProZor)", p_), {id});
    if (!main && hasMain) return;
    call.Db().Run(fmt::format("UPDATE {0}Nome SET VaiProZor = (nome = ?) WHERE Id{0} = ?", p_), {nome, id});
  }
  static int64_t Count(ProcContext& call, const std::string& sql, const std::vector<DbValue>& params) {
    return call.Db().QueryValue(sql, params).AsInteger();
  }

  const THolderTables& t_;
  const char* p_;
};

ParamInfo In(std::string name, DbType type) { return {std::move(name), type, ParamDirection::Input}; }
ParamInfo Out(std::string name, DbType type) { return {std::move(name), type, ParamDirection::Output}; }

void RegisterTwin(Registry& registry, const THolderTables& tables) {
  constexpr DbType kInt = DbType::Integer;
  constexpr DbType kText = DbType::Text;
  constexpr DbType kBool = DbType::Boolean;
  const std::string p = tables.prefix;
  auto procs = std::make_shared<THolderProcs>(tables);
  auto bind = [procs](int (THolderProcs::*member)(ProcContext&)) {
    return [procs, member](ProcContext& call) { return ((*procs).*member)(call); };
  };
  registry.Add({p + "Get", ProcAccess::Reads, {In("@id", kInt)}, bind(&THolderProcs::Get)});
  registry.Add({p + "Add",
                ProcAccess::Writes,
                {In("@id", kInt), In("@pais", kInt), In("@nome", kText), In("@doc", kText), In("@PodeLimparDocID", kBool)},
                bind(&THolderProcs::Add)});
  registry.Add({p + "Put",
                ProcAccess::Writes,
                {In("@id", kInt), In("@pais", kInt), In("@nome", kText), In("@doc", kText),
                 In("@ManterDocsExistentes", kBool), In("@ManterNomesExistentes", kBool),
                 In("@ForcaNomeVaiProZor", kBool), In("@PodeLimparDocID", kBool)},
                bind(&THolderProcs::Put)});
  registry.Add({p + "AddDoc",
                ProcAccess::Writes,
                {In("@Id" + p, kInt), In("@newdoc", kText), In("@newdocpais", kInt), In("@PodeLimparDocID", kBool)},
                bind(&THolderProcs::AddDoc)});
  registry.Add({p + "DelDoc", ProcAccess::Writes, {In("@docpais", kInt), In("@doc_id", kText)},
                bind(&THolderProcs::DelDoc)});
  registry.Add({p + "Del",
                ProcAccess::Writes,
                {In("@id", kInt), Out(tables.delCompanyOut, kInt), Out(tables.delCountOut, kInt)},
                bind(&THolderProcs::Del)});
  registry.Add({p + "GetByDocPais",
                ProcAccess::Reads,
                {In("@doc_in", kText), In("@docpais_in", kInt), In("@tentaessenome", kText),
                 In("@PodeLimparDocID", kBool), Out("@id", kInt), Out("@nome", kText), Out("@doc", kText),
                 Out("@VaiProZor", kBool), Out("@NomeProZor", kText)},
                bind(&THolderProcs::GetByDocPais)});
  registry.Add({p + "ListNames", ProcAccess::Reads, {In("@id", kInt)}, bind(&THolderProcs::ListNames)});
  registry.Add({p + "NomeDel", ProcAccess::Writes, {In("@id", kInt), In("@nome", kText)},
                bind(&THolderProcs::NomeDel)});
  registry.Add({p + "NomeMod", ProcAccess::Writes, {In("@id", kInt), In("@nome", kText), In("@VaiProZor", kBool)},
                bind(&THolderProcs::NomeMod)});
}

}  // namespace

void RegisterHolderProcedures(Registry& registry) {
  RegisterTwin(registry, kShareholders);
  RegisterTwin(registry, kPtfAssets);
}

}  // namespace zi::server
