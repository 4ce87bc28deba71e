#include "marketdata/corporate_families.h"

#include "marketdata/corporate_action_directives.h"
#include "marketdata/news_directives.h"
#include "marketdata/share_base_directives.h"

namespace zi {

void RegisterCorporateFamilies() {
  RegisterCorporateActionDirectives();
  RegisterNewsDirectives();
  RegisterShareBaseDirectives();
}

}  // namespace zi
