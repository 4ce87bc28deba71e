#pragma once
// The directive families of corporate events and share counts, plugged in together at start-up.

namespace zi {

// Corporate actions (*CA, *CAUPSERT, *CADELETE), news (*NW) and share bases (*SHARES,
// *SHARESUPDATE).
void RegisterCorporateFamilies();

}  // namespace zi
