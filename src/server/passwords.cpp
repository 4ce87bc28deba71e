#include "server/passwords.h"

#include <sodium.h>

#include <stdexcept>

namespace zi::server {

namespace {

void StartSodium() {
  static const bool started = sodium_init() >= 0;
  if (!started) throw std::runtime_error("the password library could not start");
}

}  // namespace

std::string HashPassword(const std::string& password) {
  StartSodium();
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw std::runtime_error("not enough memory to hash a password");
  }
  return hash;
}

bool VerifyPassword(const std::string& password, const std::string& hash) {
  StartSodium();
  return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

void SpendVerificationTime(const std::string& password) {
  static const std::string unmatched = HashPassword("no user has this password");
  VerifyPassword(password, unmatched);
}

}  // namespace zi::server
