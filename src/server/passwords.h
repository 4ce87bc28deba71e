#pragma once
// Passwords are kept only as Argon2id hashes in libsodium's text form, which carries its own salt
// and cost, so a stronger cost later needs no new column. What is hashed is the UTF-8 bytes the
// user typed, whichever way they came.

#include <string>

namespace zi::server {

// The stored form of a password. Raises std::runtime_error when the hashing cannot get its memory.
std::string HashPassword(const std::string& password);

// Whether hash is the stored form of password; a text that is no hash matches nothing.
bool VerifyPassword(const std::string& password, const std::string& hash);

enum class PasswordMatch {
  None,
  AsTyped,
  // The hash is of the Windows-1252 form of the typed UTF-8, as hashes were made before: the
  // password is right, and its hash is to be made again from the bytes typed.
  OldForm,
};
// Whether a password (the UTF-8 bytes typed) matches a stored hash, as typed or in its old form.
PasswordMatch MatchPassword(const std::string& password, const std::string& hash);

// The hash a password is matched against for a name that has no user: nothing matches it and it
// costs what a stored hash costs, so that a refusal takes as long whether the name exists or not.
const std::string& UnmatchedHash();

// How many hashes and verifications this process has computed, for the tests that compare the
// work of two refusals.
struct PasswordWork {
  int hashes = 0;
  int verifications = 0;
};
PasswordWork PasswordWorkForTests();

}  // namespace zi::server
