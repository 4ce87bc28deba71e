#pragma once
// The administrator's table editor: a table's rows, or those of a SELECT text, as an editable grid
// sent back in one batch named by the table's key. Only administrators open it, and only SELECT
// texts run from it: the server runs SQL texts with the user's rights, so a mistyped text must not
// get the chance to change rows. Closing it makes the lists it may have changed be read again.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "desktop/core/catalogue/grid_rows.h"

namespace zi::desktop {

inline constexpr std::array<const char*, 12> kTableEditorPresets = {
    "select * from DefIndicador order by id",
    "select * from DefIndicador order by grupo,ordem,id",
    "select * from ApresIndicadoresDoTDDPais order by pais,tdd,eaa,ordem",
    "select * from CampoListaDeValores order by formatocampo,ordinal",
    "select * from FormatoDeCadastro order by Ordem",
    "select * from LinhaDeFormato order by IdFDC,IdLinha",
    "select * from RegraDeFormatoDeCadastro order by TipoObj,Pais",
    "select * from Bolsa order by id",
    "select * from FmtBal order by id",
    "select * from BlocoDeContaBal order by id",
    "select * from ContaBal order by id",
    "select * from ApresFmtBalItems order by fmtbal,seq"};

// A text or a name refused before anything was read (a box said why).
inline constexpr int kTableEditorRefused = -2;

inline constexpr const char* kOnlySelectTexts = "Only SELECT texts run here.";
inline constexpr const char* kNotATableName = "Not a table name: ";
inline constexpr const char* kNoSuchTable = "No such table: ";
inline constexpr const char* kDropUnsavedEdits = "Drop the edits not saved?";

// The table a plain read of one table reads ("select <columns> from <table> [where ...] [order by
// ...]"); empty for any other text.
std::string TableOfPlainSelect(std::string_view sql);
// Whether a text is one SELECT (nothing after a ";").
bool IsSelectText(std::string_view sql);

class tTableEditor {
 public:
  // Every run and save shows its failure in a box and returns its code; a run that fails keeps the
  // rows shown and their edits. A run over rows with unsaved edits asks first (No: kEditCancelled).
  // The rows of a table, named by its primary key (every column for a table without one).
  int RunTable(std::string_view table);
  // The rows of a SELECT text; editable when it is a plain read of one table's columns with its key.
  int RunSql(std::string_view sql);
  int Save();

  // nullptr before the first run succeeds.
  tGridRows* Rows() { return rows_.get(); }
  // The table the rows go back to; empty when read-only.
  const std::string& Table() const { return table_; }

 private:
  struct TShape;
  static int ReadShape(const std::string& table, TShape& shape);
  int Run(const std::string& sql, const std::string& table, const TShape& shape);
  bool MayDropEdits() const;

  std::unique_ptr<tGridRows> rows_;
  std::string table_;
};

// Opens only for administrators.
bool MayOpenTableEditor();
// What closing the editor does: the indicator definitions, the registration templates, the value
// lists and the class list are read again on their next use.
void ForgetEditedLists();

}  // namespace zi::desktop
