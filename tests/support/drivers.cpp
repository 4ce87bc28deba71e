// Every test program logs in to the embedded database as the program does: through the provider
// registry, where the program entry puts the embedded driver.

#include "db/drivers/embedded_driver.h"

namespace {

[[maybe_unused]] const bool kEmbeddedRegistered = [] {
  zi::db::RegisterEmbeddedDriver();
  return true;
}();

}  // namespace
