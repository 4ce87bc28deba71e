#pragma once
// The history of one indicator of one company, class or series: its rows by effective date as an
// editable grid. Only administrators edit it; the edits go to the server in one batch while the
// editor is open, and on closing the object's entry takes the latest row.

#include <functional>
#include <string>

#include "catalogue/indicators.h"
#include "desktop/core/catalogue/grid_rows.h"

namespace zi::desktop {

inline constexpr const char* kHistoryReadOnlyMark = " [READONLY / NOT ADMIN USER]";
inline constexpr const char* kHistoryNeedsSavedObject = "Save the object first: an object not yet saved has no history.";

class tIndicatorHistory {
 public:
  // Level 2 a company, 1 a class, 0 a series (std::out_of_range for any other); the object must be
  // saved (an id above 0). Read-only unless the session's user is an administrator.
  tIndicatorHistory(int nivel, int objeto, int indicador);

  // Reads the rows: 0 or the connection's code.
  int Open();
  bool ReadOnly() const { return readOnly_; }
  // The indicator's label, marked when read-only.
  std::string Title() const;
  // The columns of the object and the indicator are hidden; the others are the effective date,
  // then the number, the date and the text of the value.
  tGridRows& Rows() { return rows_; }
  const tGridRows& Rows() const { return rows_; }
  // A new row of this object and indicator: its index, or -1 when read-only.
  int AddRow();
  // Sends the edits in one batch: 0, or the code with the edits kept.
  int Save();
  // The entry takes the latest row as read: present when there is one, its value (null when the
  // column of the indicator's format is NULL), its effective date and whether it has none. Marked
  // modified only when its presence or value changed.
  void UpdateEntry(UmIndicadorDaEmpAtvAnb& entrada) const;

 private:
  int nivel_;
  int objeto_;
  int indicador_;
  bool readOnly_;
  tGridRows rows_;
};

// The editor's run: showForm shows the grid (true: save and close; false: close without saving)
// and is shown again after a failed save with the edits. An object of id 0 only gets a box. On
// closing the entry takes the latest row. True when rows were written.
bool EditaHistoricoDoIndicador(int nivel, int objeto, int indicador, UmIndicadorDaEmpAtvAnb& entrada,
                               const std::function<bool(tIndicatorHistory&)>& showForm);

}  // namespace zi::desktop
