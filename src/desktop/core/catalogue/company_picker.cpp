#include "desktop/core/catalogue/company_picker.h"

#include <utility>

#include "catalogue/call_support.h"
#include "db/sql_errors.h"
#include "session/reference_data.h"

namespace zi::desktop {

std::vector<TPickerRow> StyledRows(const std::vector<tObjHierEx>& lista) {
  std::vector<TPickerRow> rows;
  rows.reserve(lista.size());
  const tObjHierEx* previous = nullptr;
  for (const tObjHierEx& object : lista) {
    TPickerRow row{.object = object, .empresa = object.EmpNome};
    if (object.AtvId != 0) row.classe = ShownText(Listas().EnumClasses.TextoDoId(object.AtvIdClass, true));
    if (object.AnbId != 0) {
      row.ticker = object.AnbCod;
      row.bolsa = ShownText(Listas().EnumBolsa.TextoDoId(object.AnbBolsa, true));
      row.status = LetraDoStatusNaLista(object.AnbTipoDeBGLDestino);
      row.serieInativa = object.AnbCancelado;
    }
    row.empresaRepetida = previous && previous->EmpId == object.EmpId;
    row.classeRepetida = row.empresaRepetida && previous->AtvId == object.AtvId;
    rows.push_back(std::move(row));
    previous = &object;
  }
  return rows;
}

std::string CompanyPickerController::describe() const {
  return searched_ ? LabelDaBusca(current_) : kNoCompaniesSelected;
}

int CompanyPickerController::search(const TBuscaDeEmp& criteria) {
  asked_ = criteria;
  std::vector<tObjHierEx> lista;
  std::vector<TPickerRow> found;
  int code = BuscaEmp(criteria, lista);
  // The names of classes and exchanges come from the reference lists, which may load now.
  if (code == 0) code = GuardedCall("TWinNewObj.Busca", [&] {
      found = StyledRows(lista);
      return 0;
    });
  if (code != 0) {
    db::ShowSqlErrorTxt(kPickerSearchWhere, code);
    return code;
  }
  current_ = criteria;
  searched_ = true;
  rearmed_ = false;
  rows_ = std::move(found);
  selected_ = rows_.empty() ? -1 : 0;
  return 0;
}

int CompanyPickerController::rerun() { return search(current_); }

void CompanyPickerController::select(int row) {
  if (row >= 0 && row < static_cast<int>(rows_.size())) selected_ = row;
}

bool CompanyPickerController::pick(int row, tObjHierEx& object) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
  object = rows_[static_cast<size_t>(row)].object;
  return true;
}

TPickerShowing CompanyPickerController::showing() const {
  if (!searched_) return TPickerShowing::OpenSearch;
  return rearmed_ ? TPickerShowing::RerunSearch : TPickerShowing::Nothing;
}

}  // namespace zi::desktop
