#pragma once
// The company picker's logic: the search that fills it, the label that describes that search, the
// rows as the list draws them, and what the picker does when it is shown.

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/objects.h"

namespace zi::desktop {

inline constexpr const char* kNoCompaniesSelected = "No companies selected";
inline constexpr const char* kPickerSearchWhere = "dataset:ObjListProF2V2";

// One row of the list, with every text it shows read when the search ran: nothing reads the server
// while the list paints.
struct TPickerRow {
  tObjHierEx object;
  std::string empresa;
  std::string classe;
  std::string ticker;
  std::string bolsa;
  // The status letter, empty for status 0.
  std::string status;
  // The same company as the row above: drawn grey and without its country's picture.
  bool empresaRepetida = false;
  // The same company and class as the row above: the class drawn grey.
  bool classeRepetida = false;
  bool serieInativa = false;
};

// What the picker does as it is shown.
enum class TPickerShowing {
  Nothing,
  OpenSearch,   // no search yet: the search dialog opens
  RerunSearch,  // the object tree changed since: the current search runs again
};

class CompanyPickerController {
 public:
  // The search the rows come from ("No companies selected" before the first).
  std::string describe() const;
  // Runs the search. A failed search shows the server's error box and keeps the rows, the
  // selection and the description of the search before it. Returns the code.
  int search(const TBuscaDeEmp& criteria);
  // The current search once more (the first row selected again).
  int rerun();
  const std::vector<TPickerRow>& rows() const { return rows_; }
  // The row a search selects first: 0, or -1 for an empty list.
  int selected() const { return selected_; }
  void select(int row);
  // The object of a row; false for an index outside the list.
  bool pick(int row, tObjHierEx& object) const;
  // The object tree changed: the next showing runs the current search again.
  void rearm() { rearmed_ = true; }
  // What to do as the picker is shown. A rearm holds until a search succeeds, so that a rerun
  // that failed is tried again at the next showing.
  TPickerShowing showing() const;

  bool hasSearched() const { return searched_; }
  // The criteria the search dialog starts from: the last ones asked for, run or not.
  const TBuscaDeEmp& lastAsked() const { return asked_; }

 private:
  TBuscaDeEmp current_;
  TBuscaDeEmp asked_;
  bool searched_ = false;
  bool rearmed_ = false;
  std::vector<TPickerRow> rows_;
  int selected_ = -1;
};

// The rows of a search as the list draws them.
std::vector<TPickerRow> StyledRows(const std::vector<tObjHierEx>& lista);

}  // namespace zi::desktop
