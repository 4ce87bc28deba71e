#pragma once
// The share-base directives of import files: *SHARES gives the share base of a company, source and
// date whole (what the line does not give is emptied), *SHARESUPDATE changes only what it gives.
// They live here rather than beside the share base, which sits below the import engine.

namespace zi {

inline constexpr int kSharesNoCompany = 4150;
inline constexpr int kSharesInvalidDate = 4151;
inline constexpr int kSharesInvalidSource = 4152;
inline constexpr int kSharesUnknownClass = 4153;
inline constexpr int kSharesInvalidNumber = 4154;
inline constexpr int kSharesIncompleteGroup = 4156;
inline constexpr int kSharesClassWithoutNode = 4203;

// Plugs *SHARES and *SHARESUPDATE into the directive table; called once at start-up.
void RegisterShareBaseDirectives();

}  // namespace zi
