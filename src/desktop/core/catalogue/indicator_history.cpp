#include "desktop/core/catalogue/indicator_history.h"

#include <stdexcept>

#include "catalogue/indicator_definitions.h"
#include "catalogue/indicator_formats.h"
#include "db/command.h"
#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "session/session.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

namespace {

struct TTabelaDoNivel {
  const char* tabela;
  const char* chave;
};

const TTabelaDoNivel& TabelaDoNivel(int nivel) {
  static constexpr TTabelaDoNivel kTabelas[] = {
      {"IndicadoresDoAnb", "anb"}, {"IndicadoresDoAtv", "atv"}, {"IndicadoresDaEmp", "emp"}};
  if (nivel < 0 || nivel > 2) throw std::out_of_range("indicator history of level " + std::to_string(nivel));
  return kTabelas[nivel];
}

// Only the program's own integers go into the text.
std::string SqlDoHistorico(int nivel, int objeto, int indicador) {
  const TTabelaDoNivel& t = TabelaDoNivel(nivel);
  return std::string("Select ") + t.chave + ", indica, DataIniVigencia, valornum, valordt, valorst from " + t.tabela +
         " where " + t.chave + " = " + std::to_string(objeto) + " and indica = " + std::to_string(indicador) +
         " order by DataIniVigencia asc";
}

}  // namespace

tIndicatorHistory::tIndicatorHistory(int nivel, int objeto, int indicador)
    : nivel_(nivel),
      objeto_(objeto),
      indicador_(indicador),
      readOnly_(!ZiGlobs().IsAdmin),
      rows_(readOnly_ ? std::string() : TabelaDoNivel(nivel).tabela,
            {TabelaDoNivel(nivel).chave, "indica", "DataIniVigencia"}) {}

int tIndicatorHistory::Open() {
  if (const int code = rows_.Open(SqlDoHistorico(nivel_, objeto_, indicador_))) return code;
  const auto kind = [this](const char* column, TCellKind k, bool hidden) {
    const int col = rows_.ColumnIndex(column);
    if (col < 0) return;
    rows_.SetKind(col, k);
    rows_.SetHidden(col, hidden);
  };
  kind(TabelaDoNivel(nivel_).chave, TCellKind::Integer, true);
  kind("indica", TCellKind::Integer, true);
  kind("DataIniVigencia", TCellKind::Date, false);
  kind("valornum", TCellKind::Number, false);
  kind("valordt", TCellKind::Date, false);
  kind("valorst", TCellKind::Text, false);
  return 0;
}

std::string tIndicatorHistory::Title() const {
  const DefIndicador* def = DefIndicadores().Def(indicador_);
  const std::string label = def ? LabelDoIndicador(*def, false) : "#" + std::to_string(indicador_);
  return readOnly_ ? label + kHistoryReadOnlyMark : label;
}

int tIndicatorHistory::AddRow() {
  return rows_.AddRow({{TabelaDoNivel(nivel_).chave, objeto_}, {"indica", indicador_}});
}

int tIndicatorHistory::Save() { return rows_.Save("IndicatorHistory.Save"); }

void tIndicatorHistory::UpdateEntry(UmIndicadorDaEmpAtvAnb& entrada) const {
  const int last = rows_.RowCount() - 1;
  if (last < 0) {
    entrada.Set(false, {});
    return;
  }
  const auto value = [&](const char* column) -> const DbValue& { return rows_.Value(last, rows_.ColumnIndex(column)); };
  TValorDeIndicador valor;
  valor.valornum = db::ValueAsFloat(value("valornum"));
  valor.valordt = db::ValueAsDateTime(value("valordt"));
  valor.valorst = db::ValueAsText(value("valorst"));
  if (const DefIndicador* def = DefIndicadores().Def(indicador_)) {
    switch (ColunaDoFormato(def->FormatoCampo)) {
      case TColunaDoValor::Num: valor.nulo = value("valornum").IsNull(); break;
      case TColunaDoValor::Dt: valor.nulo = value("valordt").IsNull(); break;
      case TColunaDoValor::St: valor.nulo = value("valorst").IsNull(); break;
    }
  }
  entrada.Set(true, valor);
  entrada.semDataDeVigencia = value("DataIniVigencia").IsNull();
  entrada.dataDaLinha = db::ValueAsDateTime(value("DataIniVigencia"));
}

bool EditaHistoricoDoIndicador(int nivel, int objeto, int indicador, UmIndicadorDaEmpAtvAnb& entrada,
                               const std::function<bool(tIndicatorHistory&)>& showForm) {
  if (objeto == 0) {
    ShowErrorBox("Warn", kHistoryNeedsSavedObject);
    return false;
  }
  tIndicatorHistory historico(nivel, objeto, indicador);
  if (const int code = historico.Open()) {
    db::ShowSqlErrorTxt("IndicatorHistory.Open", code);
    return false;
  }
  bool escreveu = false;
  EditUntilSaved([&] { return showForm(historico); },
                 [&](std::string& where) {
                   where = "IndicatorHistory.Save";
                   const bool modificado = historico.Rows().Modified();
                   const int code = historico.Save();
                   escreveu = escreveu || (code == 0 && modificado);
                   return code;
                 });
  // Edits left unsaved are not the history: the entry follows what the server holds.
  if (historico.Rows().Modified() && historico.Open() != 0) return escreveu;
  historico.UpdateEntry(entrada);
  return escreveu;
}

}  // namespace zi::desktop
