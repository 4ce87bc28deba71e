#pragma once
// Passwords are kept only as Argon2id hashes in libsodium's text form, which carries its own salt
// and cost, so a stronger cost later needs no new column.

#include <string>

namespace zi::server {

// The stored form of a password. Raises std::runtime_error when the hashing cannot get its memory.
std::string HashPassword(const std::string& password);

// Whether hash is the stored form of password; a text that is no hash matches nothing.
bool VerifyPassword(const std::string& password, const std::string& hash);

// Takes as long as VerifyPassword, for a name that has no user: a quick refusal would tell an
// unknown name from a wrong password.
void SpendVerificationTime(const std::string& password);

}  // namespace zi::server
