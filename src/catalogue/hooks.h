#pragma once
// What the catalogue supplies to the layers below it; the program entry installs it at start-up.

namespace zi {

// The bulletin-destination cache asks the catalogue about each ticker it does not know; every login
// reads the indicator definitions again and forgets the registration templates.
void InstallCatalogueHooks();

}  // namespace zi
