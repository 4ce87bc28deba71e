#include "server/procedures.h"

#include "server/import_queue.h"
#include "server/server.h"

namespace zi::server {

namespace {

Registry MakeProductRegistry() {
  Registry registry;
  RegisterSessionProcedures(registry);
  RegisterReferenceProcedures(registry);
  RegisterCatalogueProcedures(registry);
  RegisterImportKeyProcedures(registry);
  RegisterQuoteProcedures(registry);
  RegisterIndicatorProcedures(registry);
  RegisterObjectImportProcedures(registry);
  RegisterStatementProcedures(registry);
  RegisterHolderProcedures(registry);
  RegisterCompositionProcedures(registry);
  RegisterImportQueueProcedures(registry);
  RegisterRealEstateProcedures(registry);
  RegisterPortfolioProcedures(registry);
  RegisterCorporateActionProcedures(registry);
  RegisterNewsProcedures(registry);
  RegisterShareBaseProcedures(registry);
  return registry;
}

}  // namespace

const Registry& ProductRegistry() {
  static const Registry registry = MakeProductRegistry();
  return registry;
}

}  // namespace zi::server
