#include "desktop/core/catalogue/table_editor.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <sstream>
#include <vector>

#include "catalogue/indicator_definitions.h"
#include "catalogue/registration_templates.h"
#include "db/command.h"
#include "db/connection.h"
#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi::desktop {

namespace {

constexpr int kCallFailed = 3939;

bool IsIdentifier(std::string_view name) {
  if (name.empty() || name.size() > 128) return false;
  if (!std::isalpha(static_cast<unsigned char>(name[0])) && name[0] != '_') return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::vector<std::string> Words(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(LowerAscii(word));
  return words;
}

// The kind of a column by the type the schema declares for it.
TCellKind KindOfDeclared(const std::string& declared) {
  const std::string type = UpperAscii(declared);
  if (type.find("BOOL") != std::string::npos) return TCellKind::Boolean;
  if (type.find("INT") != std::string::npos) return TCellKind::Integer;
  if (type.find("DATE") != std::string::npos) return TCellKind::Date;
  for (const char* number : {"REAL", "FLOA", "DOUB", "NUM", "DEC"}) {
    if (type.find(number) != std::string::npos) return TCellKind::Number;
  }
  return TCellKind::Text;
}

}  // namespace

// What the schema says of a table: its columns with their kinds, and its key.
struct tTableEditor::TShape {
  bool found = false;
  std::vector<std::pair<std::string, TCellKind>> columns;
  std::vector<std::string> keys;

  bool Has(const std::string& column) const {
    return std::any_of(columns.begin(), columns.end(), [&](const auto& c) { return SameTextAscii(c.first, column); });
  }
};

bool IsSelectText(std::string_view sql) {
  if (sql.find(';') != std::string_view::npos) return false;
  const std::vector<std::string> words = Words(sql);
  return !words.empty() && words[0] == "select";
}

std::string TableOfPlainSelect(std::string_view sql) {
  if (!IsSelectText(sql)) return {};
  const std::vector<std::string> words = Words(sql);
  for (const char* refused : {"join", "union", "intersect", "except", "group", "having", "distinct"}) {
    if (std::find(words.begin(), words.end(), refused) != words.end()) return {};
  }
  if (std::count(words.begin(), words.end(), "select") != 1 || std::count(words.begin(), words.end(), "from") != 1) {
    return {};
  }
  const auto from = std::find(words.begin(), words.end(), "from");
  if (from + 1 == words.end() || !IsIdentifier(*(from + 1))) return {};
  if (from + 2 != words.end() && *(from + 2) != "where" && *(from + 2) != "order") return {};
  // The name as typed, not lowered: the schema is asked in any case, the text keeps its spelling.
  std::istringstream in{std::string(sql)};
  std::string word;
  for (size_t i = 0; in >> word;) {
    if (static_cast<ptrdiff_t>(i++) == from - words.begin() + 1) return word;
  }
  return {};
}

// The schema's columns and primary key of a table, asked with the name as a parameter.
int tTableEditor::ReadShape(const std::string& table, TShape& shape) {
  shape = {};
  auto& columns = shape.columns;
  auto& keys = shape.keys;
  std::vector<std::pair<int, std::string>> primary;
  int code = 0;
  try {
    db::TDataSetHolder command(db::ZiDb(), db::CommandType::Text,
                               "select name, type, pk from pragma_table_info(?) order by cid");
    if (!command) return kCallFailed;
    command->SetSqlParams({DbValue(table)});
    if ((code = db::ZiDb().OpenSql(*command)) != 0) return code;
    for (; !command->Eof(); command->Next()) {
      const std::string name = command->FieldAsRawText("name");
      columns.emplace_back(name, KindOfDeclared(command->FieldAsRawText("type")));
      if (const int pk = command->FieldAsInteger("pk"); pk > 0) primary.emplace_back(pk, name);
    }
  } catch (const std::exception& e) {
    ReportExceptionWithCode("TableEditor.Shape", code, e, kCallFailed);
    return code;
  }
  shape.found = !columns.empty();
  std::sort(primary.begin(), primary.end());
  for (const auto& [position, name] : primary) keys.push_back(name);
  // A table without a primary key: a row is named by all it holds, and the server refuses a change
  // that would name more than one.
  if (keys.empty()) {
    for (const auto& [name, kind] : columns) keys.push_back(name);
  }
  return 0;
}

int tTableEditor::RunTable(std::string_view table) {
  const std::string name = Trim(table);
  if (!IsIdentifier(name)) {
    ShowErrorBox("Warn", kNotATableName + name);
    return kTableEditorRefused;
  }
  TShape shape;
  if (const int code = ReadShape(name, shape)) {
    db::ShowSqlErrorTxt("TableEditor.Table", code);
    return code;
  }
  if (!shape.found) {
    ShowErrorBox("Warn", kNoSuchTable + name);
    return kTableEditorRefused;
  }
  return Run("select * from " + name, name, shape);
}

int tTableEditor::RunSql(std::string_view sql) {
  const std::string text = Trim(sql);
  if (!IsSelectText(text)) {
    ShowErrorBox("Warn", kOnlySelectTexts);
    return kTableEditorRefused;
  }
  TShape shape;
  const std::string table = TableOfPlainSelect(text);
  // A table the schema cannot describe leaves the rows read-only; the text itself says the rest.
  if (!table.empty() && ReadShape(table, shape) != 0) shape = {};
  return Run(text, table, shape);
}

int tTableEditor::Run(const std::string& sql, const std::string& table, const TShape& shape) {
  if (!MayDropEdits()) return kEditCancelled;
  auto rows = std::make_unique<tGridRows>(shape.found ? table : std::string(), shape.keys);
  if (const int code = rows->Open(sql)) {
    db::ShowSqlErrorTxt("TableEditor.Run", code);
    return code;
  }
  for (const auto& [name, kind] : shape.columns) {
    if (const int col = rows->ColumnIndex(name); col >= 0) rows->SetKind(col, kind);
  }
  const auto& columns = rows->Columns();
  if (!std::all_of(columns.begin(), columns.end(), [&](const TGridColumn& c) { return shape.Has(c.name); })) {
    rows->MakeReadOnly();
  }
  table_ = rows->Editable() ? table : std::string();
  rows_ = std::move(rows);
  return 0;
}

bool tTableEditor::MayDropEdits() const {
  return !rows_ || !rows_->Modified() || AskYesNo("Confirm", kDropUnsavedEdits);
}

int tTableEditor::Save() {
  if (!rows_) return 0;
  const int code = rows_->Save("TableEditor.Save");
  db::ShowSqlErrorTxt("TableEditor.Save", code);
  return code;
}

bool MayOpenTableEditor() { return ZiGlobs().IsAdmin; }

void ForgetEditedLists() {
  DefIndicadores().Esquece();
  FormatosDeCadastro().Esquece();
  EsqueceListasDeObjetos();
}

}  // namespace zi::desktop
