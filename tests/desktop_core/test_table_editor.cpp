// The administrator's table editor against a demo database: the preset texts, edits sent back by
// the table's key, only SELECT texts run, failures that keep the edits, administrators only.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "catalogue/indicator_definitions.h"
#include "desktop/core/catalogue/table_editor.h"
#include "desktop/core/ui_port.h"
#include "session/reference_data.h"
#include "support/demo_database.h"

namespace zi::desktop {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

// The one preset whose table a new database leaves empty.
const std::string kEmptyTablePreset = "select * from ApresIndicadoresDoTDDPais order by pais,tdd,eaa,ordem";

class TableEditorTest : public test::DemoDatabase {
 protected:
  // The row of a column's value, -1 when none holds it.
  int RowWith(tGridRows& rows, const char* column, const std::string& text) {
    for (int r = 0; r < rows.RowCount(); ++r) {
      if (rows.Text(r, rows.ColumnIndex(column)) == text) return r;
    }
    return -1;
  }
  std::string NameOf63() { return SqlValue("select NomePT from DefIndicador where id = 63").AsText(); }
};

TEST_F(TableEditorTest, EveryPresetReadsItsTableRowsEditable) {
  for (const char* preset : kTableEditorPresets) {
    SCOPED_TRACE(preset);
    tTableEditor editor;
    ASSERT_EQ(editor.RunSql(preset), 0);
    ASSERT_NE(editor.Rows(), nullptr);
    if (preset != kEmptyTablePreset) {
      EXPECT_GT(editor.Rows()->RowCount(), 0);
    }
    EXPECT_TRUE(editor.Rows()->Editable());
    EXPECT_EQ(editor.Table(), TableOfPlainSelect(preset));
  }
  EXPECT_THAT(boxes_, ElementsAre());
}

TEST_F(TableEditorTest, AnEditOfADefinitionIsSavedAndReadAgainAfterClosing) {
  ASSERT_NE(DefIndicadores().Def(63), nullptr);
  tTableEditor editor;
  ASSERT_EQ(editor.RunTable("DefIndicador"), 0);
  tGridRows& rows = *editor.Rows();
  const int row = RowWith(rows, "id", "63");
  ASSERT_GE(row, 0);
  ASSERT_TRUE(rows.SetText(row, rows.ColumnIndex("NomePT"), "Empregados|totais"));
  ASSERT_TRUE(rows.SetText(row, rows.ColumnIndex("largura"), "12"));
  ASSERT_EQ(editor.Save(), 0);
  EXPECT_EQ(NameOf63(), "Empregados|totais");
  EXPECT_EQ(SqlValue("select largura from DefIndicador where id = 63"), DbValue(int64_t{12}));
  EXPECT_EQ(rows.Text(RowWith(rows, "id", "63"), rows.ColumnIndex("NomePT")), "Empregados|totais");
  for (tIntStgList* list : {&Listas().EnumClasses, &Listas().EnumBolsa, &Listas().EnumFmtBal}) list->GaranteLido();
  ForgetEditedLists();
  for (tIntStgList* list : {&Listas().EnumClasses, &Listas().EnumBolsa, &Listas().EnumFmtBal}) {
    EXPECT_FALSE(list->Lido()) << list->Source();
  }
  ASSERT_NE(DefIndicadores().Def(63), nullptr);
  EXPECT_EQ(LabelDoIndicador(*DefIndicadores().Def(63), false), "Empregados totais");
}

TEST_F(TableEditorTest, ATableWithoutPrimaryKeyIsEditedByAllItsColumns) {
  Sql("insert into IndicadoresDaEmp (emp, indica, DataIniVigencia, valornum) select id, 63, NULL, 7 from empresa "
      "where cod = 'PETR'");
  tTableEditor editor;
  ASSERT_EQ(editor.RunSql("select * from IndicadoresDaEmp where indica = 63"), 0);
  tGridRows& rows = *editor.Rows();
  ASSERT_TRUE(rows.Editable());
  const int row = RowWith(rows, "valornum", "7");
  ASSERT_GE(row, 0);
  ASSERT_TRUE(rows.SetText(row, rows.ColumnIndex("valornum"), "8"));
  ASSERT_EQ(editor.Save(), 0);
  EXPECT_EQ(SqlValue("select valornum from IndicadoresDaEmp where indica = 63"), DbValue(8.0));
}

TEST_F(TableEditorTest, TextsThatAreNotASelectAreRefused) {
  const std::string before = Dump();
  for (const char* text :
       {"delete from DefIndicador", "update DefIndicador set largura = 0", "  insert into FmtBal values (9, 'x')",
        "drop table ContaBal", "select * from DefIndicador; delete from DefIndicador", "selectx from Bolsa", ""}) {
    SCOPED_TRACE(text);
    boxes_.clear();
    tTableEditor editor;
    EXPECT_EQ(editor.RunSql(text), kTableEditorRefused);
    EXPECT_EQ(editor.Rows(), nullptr);
    EXPECT_THAT(boxes_, ElementsAre("Warn|Only SELECT texts run here."));
  }
  EXPECT_TRUE(Dump() == before);
}

TEST_F(TableEditorTest, OnlyAPlainReadOfOneTablesColumnsWithItsKeyIsEditable) {
  struct Case {
    const char* sql;
    bool editable;
  };
  for (const Case& c :
       {Case{"select id, NomePT from DefIndicador where id = 63", true}, Case{"SELECT * FROM Bolsa ORDER BY id", true},
        Case{"select NomePT from DefIndicador", false}, Case{"select count(*) from DefIndicador", false},
        Case{"select d.id, d.NomePT from DefIndicador d", false},
        Case{"select * from LinhaDeFormato join FormatoDeCadastro on Id = IdFDC", false},
        Case{"select distinct grupo from DefIndicador", false},
        Case{"select id from DefIndicador union select id from Bolsa", false}}) {
    SCOPED_TRACE(c.sql);
    tTableEditor editor;
    ASSERT_EQ(editor.RunSql(c.sql), 0);
    EXPECT_EQ(editor.Rows()->Editable(), c.editable);
    EXPECT_EQ(editor.Table().empty(), !c.editable);
    if (!c.editable) {
      EXPECT_FALSE(editor.Rows()->SetText(0, 0, "1"));
      EXPECT_EQ(editor.Rows()->AddRow({}), -1);
    }
  }
}

TEST_F(TableEditorTest, CellsAreTypedAsTheirColumnAndNullShowsEmpty) {
  tTableEditor editor;
  ASSERT_EQ(editor.RunTable("DefIndicador"), 0);
  tGridRows& rows = *editor.Rows();
  const int row = RowWith(rows, "id", "63");
  EXPECT_EQ(rows.Columns().at(static_cast<size_t>(rows.ColumnIndex("largura"))).kind, TCellKind::Integer);
  EXPECT_EQ(rows.Columns().at(static_cast<size_t>(rows.ColumnIndex("NomePT"))).kind, TCellKind::Text);
  EXPECT_FALSE(rows.SetText(row, rows.ColumnIndex("largura"), "wide"));
  EXPECT_FALSE(rows.SetText(row, rows.ColumnIndex("largura"), "1.5"));
  EXPECT_EQ(beeps_, 0) << "the view beeps, the rows only refuse";
  ASSERT_TRUE(rows.SetText(row, rows.ColumnIndex("texto13"), "x"));
  ASSERT_TRUE(rows.SetText(row, rows.ColumnIndex("texto13"), ""));
  EXPECT_TRUE(rows.Value(row, rows.ColumnIndex("texto13")).IsNull());
  EXPECT_EQ(rows.Text(row, rows.ColumnIndex("texto13")), "");
}

TEST_F(TableEditorTest, ABadTableNameIsRefusedBeforeAnythingIsRead) {
  tTableEditor editor;
  EXPECT_EQ(editor.RunTable("DefIndicador; drop table Bolsa"), kTableEditorRefused);
  EXPECT_EQ(editor.RunTable("NoSuchTable"), kTableEditorRefused);
  EXPECT_THAT(boxes_,
              ElementsAre("Warn|Not a table name: DefIndicador; drop table Bolsa", "Warn|No such table: NoSuchTable"));
  EXPECT_EQ(editor.Rows(), nullptr);
}

TEST_F(TableEditorTest, AFailedReadShowsTheServersBoxAndKeepsTheRowsAndTheirEdits) {
  tTableEditor editor;
  ASSERT_EQ(editor.RunTable("FmtBal"), 0);
  ASSERT_TRUE(editor.Rows()->SetText(0, editor.Rows()->ColumnIndex("nome"), "Edited"));
  answer_ = true;
  EXPECT_NE(editor.RunSql("select * from NoSuchTable"), 0);
  Driver().InjectFaults({.failCall = 1});
  EXPECT_NE(editor.RunTable("Bolsa"), 0);
  Driver().InjectFaults({});
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_THAT(boxes_[0], HasSubstr("on TableEditor.Run|"));
  EXPECT_THAT(boxes_[1], HasSubstr("on TableEditor.Table|"));
  EXPECT_EQ(editor.Table(), "FmtBal");
  EXPECT_EQ(editor.Rows()->Text(0, editor.Rows()->ColumnIndex("nome")), "Edited");
  EXPECT_TRUE(editor.Rows()->Modified());
}

TEST_F(TableEditorTest, ReadingOtherRowsOverUnsavedEditsAsksFirst) {
  tTableEditor editor;
  ASSERT_EQ(editor.RunTable("FmtBal"), 0);
  ASSERT_TRUE(editor.Rows()->SetText(0, editor.Rows()->ColumnIndex("nome"), "Edited"));
  answer_ = false;
  EXPECT_EQ(editor.RunTable("Bolsa"), kEditCancelled);
  EXPECT_THAT(questions_, ElementsAre("Confirm|Drop the edits not saved?|No"));
  EXPECT_EQ(editor.Table(), "FmtBal");
  answer_ = true;
  EXPECT_EQ(editor.RunTable("Bolsa"), 0);
  EXPECT_EQ(editor.Table(), "Bolsa");
}

// Each step of the save fails in turn: reading the rows again, then sending the batch.
TEST_F(TableEditorTest, AFailedWriteShowsTheBoxAndKeepsTheEdits) {
  for (int failCall : {1, 2}) {
    SCOPED_TRACE(failCall);
    boxes_.clear();
    tTableEditor editor;
    ASSERT_EQ(editor.RunTable("DefIndicador"), 0);
    tGridRows& rows = *editor.Rows();
    ASSERT_TRUE(rows.SetText(RowWith(rows, "id", "63"), rows.ColumnIndex("NomePT"), "Empregados|totais"));
    const int added = rows.AddRow({});
    for (const auto& [column, text] : std::vector<std::pair<const char*, const char*>>{
             {"id", "900"}, {"FormatoCampo", "3"}, {"NomePT", "Novo|indicador"}}) {
      ASSERT_TRUE(rows.SetText(added, rows.ColumnIndex(column), text));
    }
    const std::string before = Dump();
    Driver().InjectFaults({.failCall = failCall});
    EXPECT_NE(editor.Save(), 0);
    Driver().InjectFaults({});
    EXPECT_TRUE(Dump() == before);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_THAT(boxes_[0], HasSubstr("on TableEditor.Save|"));
    EXPECT_TRUE(rows.Modified());
    EXPECT_EQ(rows.Text(added, rows.ColumnIndex("NomePT")), "Novo|indicador");
    ASSERT_EQ(editor.Save(), 0);
    EXPECT_EQ(NameOf63(), "Empregados|totais");
    EXPECT_EQ(SqlValue("select count(*) from DefIndicador where id = 900"), DbValue(int64_t{1}));
    Sql("delete from DefIndicador where id = 900");
    Sql("update DefIndicador set NomePT = 'N\xFAmero|de funcion\xE1rios' where id = 63");
  }
}

TEST_F(TableEditorTest, AConstraintTheServerRefusesKeepsTheEdits) {
  tTableEditor editor;
  ASSERT_EQ(editor.RunTable("DefIndicador"), 0);
  tGridRows& rows = *editor.Rows();
  ASSERT_TRUE(rows.SetText(RowWith(rows, "id", "63"), rows.ColumnIndex("largura"), "300"));
  const std::string before = Dump();
  EXPECT_NE(editor.Save(), 0);
  EXPECT_TRUE(Dump() == before);
  EXPECT_TRUE(rows.Modified());
}

TEST_F(TableEditorTest, OnlyAdministratorsOpenIt) {
  EXPECT_TRUE(MayOpenTableEditor());
  LogInAsUser(0);
  EXPECT_FALSE(MayOpenTableEditor());
}

TEST(PlainSelect, NamesTheTableOfAPlainReadOfOneTable) {
  struct Case {
    const char* sql;
    const char* table;
  };
  for (const Case& c : {Case{"select * from DefIndicador order by id", "DefIndicador"},
                        Case{"Select id from Bolsa where id > 3", "Bolsa"}, Case{"select * from Bolsa", "Bolsa"},
                        Case{"select * from Bolsa b", ""}, Case{"select * from Bolsa, Moeda", ""},
                        Case{"select * from (select * from Bolsa)", ""}, Case{"select 1", ""},
                        Case{"delete from Bolsa", ""}, Case{"select * from Bolsa group by id", ""}}) {
    EXPECT_EQ(TableOfPlainSelect(c.sql), c.table) << c.sql;
  }
}

}  // namespace
}  // namespace zi::desktop
