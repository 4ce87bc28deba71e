#pragma once
// The news directive of import files: *NW names a company, a publication date and a sequence, and
// its text follows on the next lines up to a line that is exactly END.

namespace zi {

// Plugs *NW into the directive table; called once at start-up.
void RegisterNewsDirectives();

}  // namespace zi
