#pragma once
// The modal forms of companies, classes and series as the object window sees them: each shows the
// record and its indicators, and on Okay leaves what the user entered in both.

#include "catalogue/indicators.h"
#include "catalogue/objects.h"

namespace zi::desktop {

class tObjectForms {
 public:
  virtual ~tObjectForms() = default;
  // Okay: true, with the record and the indicator entries as entered (the entries the user changed
  // are modified). Cancel, or a form that cannot be filled: false. A form shown again after a failed
  // write shows what the user entered before.
  virtual bool EditEmp(tObjEmp& emp, TIndicadoresDeEmpAtvAnb& indicadores) = 0;
  virtual bool EditAtv(tObjAtv& atv, TIndicadoresDeEmpAtvAnb& indicadores) = 0;
  virtual bool EditAnb(tObjAnb& anb, TIndicadoresDeEmpAtvAnb& indicadores) = 0;
};

}  // namespace zi::desktop
