#include "server/passwords.h"

#include <sodium.h>

#include <optional>
#include <stdexcept>

#include "toolbox/codec.h"

namespace zi::server {

namespace {

// Made once, with the cost HashPassword uses, from a password nobody is given.
const std::string kUnmatchedHash =
    "$argon2id$v=19$m=65536,t=2,p=1$ZPeqZVzIiLVPw/x1LrASbg$HQ6nO/MTVSpBPfaChIhhhfeIjwk1z8zCsFA72gFBBjA";

PasswordWork work;

void StartSodium() {
  static const bool started = sodium_init() >= 0;
  if (!started) throw std::runtime_error("the password library could not start");
}

// The Windows-1252 form of typed UTF-8, when it has one that differs from the bytes typed.
std::optional<std::string> OldForm(const std::string& password) {
  if (!HasNonAscii(password)) return std::nullopt;
  return Utf8ToCp1252(password);
}

}  // namespace

std::string HashPassword(const std::string& password) {
  StartSodium();
  ++work.hashes;
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw std::runtime_error("not enough memory to hash a password");
  }
  return hash;
}

bool VerifyPassword(const std::string& password, const std::string& hash) {
  StartSodium();
  ++work.verifications;
  return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

PasswordMatch MatchPassword(const std::string& password, const std::string& hash) {
  if (VerifyPassword(password, hash)) return PasswordMatch::AsTyped;
  const std::optional<std::string> old = OldForm(password);
  return old && VerifyPassword(*old, hash) ? PasswordMatch::OldForm : PasswordMatch::None;
}

const std::string& UnmatchedHash() { return kUnmatchedHash; }

PasswordWork PasswordWorkForTests() { return work; }

}  // namespace zi::server
