#pragma once
// The statement window of a demo company, driven as its view drives it: a grid that takes its size
// from the window, a view that counts what it is asked to draw, scripted header dialogs and save
// questions.

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <ostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "desktop/core/mdi_child.h"
#include "desktop/core/statements/statement_window.h"
#include "desktop/core/window_kinds.h"
#include "statements/accounts.h"
#include "support/demo_database.h"
#include "toolbox/lifecycle.h"

namespace zi::desktop {

inline void PrintTo(const TStmCell& cell, std::ostream* os) {
  char colours[32];
  std::snprintf(colours, sizeof colours, "%06X on %06X", cell.colour, cell.background);
  *os << "{\"" << cell.text << "\" " << colours << (cell.bold ? " bold" : "") << (cell.narrow ? " narrow" : "")
      << " align " << cell.align << "}";
}

}  // namespace zi::desktop

namespace zi::test {

struct StatementGrid : desktop::tGridView {
  const desktop::tBalWin* window = nullptr;
  int movedToRow = -1;
  int movedToCol = -1;
  int RowCount() const override { return window->RowCount(); }
  int ColCount() const override { return window->ColCount(); }
  int FixedRows() const override { return desktop::kStmHeaderRows; }
  int FixedCols() const override { return 1; }
  void SetEditorEnabled(bool) override {}
  bool HasInplaceEditor() const override { return true; }
  void SetEditorLook(uint32_t, bool) override {}
  void PostSelectAll() override {}
  void MoveToRow(int row) override { movedToRow = row; }
  void MoveToCol(int col) override { movedToCol = col; }
  void Repaint() override {}
  uint32_t Colour() const override { return desktop::kWhite; }
};

struct StatementView : desktop::tStatementView {
  int showAlls = 0;
  std::vector<int> redrawn;
  int statusShows = 0;
  int selectedCol = -1;
  int selectedRow = -1;
  void ShowAll() override { ++showAlls; }
  void RedrawColumn(int col) override { redrawn.push_back(col); }
  void ShowStatus() override { ++statusShows; }
  void SelectCell(int col, int row) override {
    selectedCol = col;
    selectedRow = row;
  }
};

class StatementWindowTest : public DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    oldRegional_ = Regional();
    SetRegional({.decimalSeparator = '.', .dateSeparator = '/', .shortDateFormat = "dd/MM/yyyy"});
    desktop::SetSaveQuestion([this](bool hasDataError) {
      saveQuestions_.push_back(hasDataError);
      return saveAnswer_;
    });
    EsqueceContasBal();
  }
  void TearDown() override {
    windows_.clear();
    grids_.clear();
    desktop::SetSaveQuestion({});
    SetRegional(oldRegional_);
    EsqueceContasBal();
    DemoDatabase::TearDown();
  }

  // The window of a company, loaded as the main window loads it; it lives until the test ends.
  desktop::tBalWin& Open(int emp) {
    auto window = std::make_unique<desktop::tBalWin>([this](const desktop::THeaderDialogRequest& request) {
      dialogs_.push_back(request);
      std::optional<desktop::TStmKey> answer;
      if (!dialogAnswers_.empty()) {
        answer = dialogAnswers_.front();
        dialogAnswers_.pop_front();
      }
      return answer;
    });
    window->SetStatementView(&view_);
    grids_.push_back(std::make_unique<StatementGrid>());
    grids_.back()->window = window.get();
    window->AttachGrid(grids_.back().get());
    tObjHierEx object;
    object.EmpId = emp;
    window->SetCurObj(object);
    windows_.push_back(std::move(window));
    return *windows_.back();
  }
  desktop::tBalWin& Open(const std::string& cod) { return Open(CompanyId(cod)); }

  // The grid row of an account line, by the id its label starts with.
  static int RowOf(const desktop::tBalWin& window, int conta) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%04d  ", conta);
    for (int row = desktop::kStmHeaderRows; row < window.RowCount(); ++row)
      if (window.Label(row).text.rfind(prefix, 0) == 0) return row;
    ADD_FAILURE() << "no line of account " << conta;
    return -1;
  }
  // Typing a text into a cell and pressing Enter, as the grid's editor does.
  static void Type(desktop::tBalWin& window, int col, int row, const std::string& text) {
    window.SetCurrentCell(col, row);
    window.SetEditText(col, row, text);
    window.KeyEnter();
  }
  // What a value cell shows, the column loaded first as the view loads the columns it draws.
  static std::string Shown(desktop::tBalWin& window, int col, int conta) {
    window.EnsureLoaded({col});
    return window.Cell(col, RowOf(window, conta)).text;
  }
  // A stored value of the whole period as "%g" writes it ("" when there is no row).
  std::string Stored(int balanco, int conta) {
    const auto result = Server().ExecuteSql("select coalesce(printf('%g', valor), 'NULL') from BalancoUmaConta where "
                                            "balanco = " + std::to_string(balanco) + " and conta = " +
                                            std::to_string(conta) + " and De3Meses = 0");
    const auto& rows = result.at(0).rows;
    if (rows.empty()) return "";
    return rows.at(0).at(0).AsText();
  }
  int64_t Grade(int balanco) {
    return SqlValue("select ChecagemFalhou from Balanco where id = " + std::to_string(balanco)).AsInteger();
  }
  int64_t Count(const std::string& sql) { return SqlValue(sql).AsInteger(); }

  // Header-field accounts as default data-entry lines: 1990 the reference date, 1991 consolidated,
  // 1992 months.
  void AddHeaderFieldLines() {
    Sql("INSERT INTO ContaBal (id, nome_extenso_Por, nome_extenso_Ing, nome_extenso_Esp, nome_compacto_Por, "
        "nome_compacto_Ing, nome_compacto_Esp, bloco, ordemnobloco, decimais, caracs, comocalcular, comocalcular_num) "
        "VALUES (1990, 'Data', 'Reference date', 'Fecha', 'Data', 'Date', 'Fecha', 1, 90, 0, 0, 1, 2), "
        "(1991, 'Consolidado', 'Consolidated', 'Consolidado', 'Cons', 'Cons', 'Cons', 1, 91, 0, 0, 1, 3), "
        "(1992, 'Meses', 'Months', 'Meses', 'Meses', 'Months', 'Meses', 1, 92, 0, 0, 1, 5)");
    Sql("INSERT INTO BlocoPadraoNaDigitacao (IdConta, Num) VALUES (1990, 1), (1991, 2), (1992, 3)");
    EsqueceContasBal();
  }

  StatementView view_;
  std::vector<std::unique_ptr<StatementGrid>> grids_;
  std::vector<std::unique_ptr<desktop::tBalWin>> windows_;
  std::deque<std::optional<desktop::TStmKey>> dialogAnswers_;
  std::vector<desktop::THeaderDialogRequest> dialogs_;
  std::vector<bool> saveQuestions_;
  int saveAnswer_ = desktop::kMrCancel;
  RegionalSettings oldRegional_;
};

inline TDayNumber Day(int year, int month, int day) { return *DayNumberFromDate({year, month, day}); }

}  // namespace zi::test
