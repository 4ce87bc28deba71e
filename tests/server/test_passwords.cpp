// Password hashes: salted, and matching only the password they were made from.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/passwords.h"

namespace zi::server::test {
namespace {

TEST(Passwords, AHashMatchesOnlyItsOwnPassword) {
  const std::string password = "Pa\xE7oca 42";
  const std::string hash = HashPassword(password);
  EXPECT_THAT(hash, testing::StartsWith("$argon2id$"));
  EXPECT_THAT(hash, testing::Not(testing::HasSubstr(password)));
  EXPECT_TRUE(VerifyPassword(password, hash));
  for (const std::string& other : {std::string("pa\xE7oca 42"), std::string("Pa\xE7oca 4"), std::string()}) {
    EXPECT_FALSE(VerifyPassword(other, hash)) << other;
  }
}

TEST(Passwords, TheSamePasswordHashesDifferentlyEachTime) {
  const std::string first = HashPassword("same");
  const std::string second = HashPassword("same");
  EXPECT_NE(first, second);
  EXPECT_TRUE(VerifyPassword("same", second));
}

// The algorithm, version and cost of a hash: what it is up to its salt.
std::string CostOf(const std::string& hash) {
  size_t end = 0;
  for (int field = 0; field < 3 && end != std::string::npos; ++field) end = hash.find('$', end + 1);
  return hash.substr(0, end);
}

TEST(Passwords, TheHashANameWithoutAUserIsCheckedAgainstCostsWhatAStoredOneCosts) {
  EXPECT_EQ(CostOf(UnmatchedHash()), CostOf(HashPassword("x")));
  EXPECT_EQ(CostOf(UnmatchedHash()), "$argon2id$v=19$m=65536,t=2,p=1");
  for (const char* password : {"", "x", "s3cret"}) {
    EXPECT_EQ(MatchPassword(password, UnmatchedHash()), PasswordMatch::None) << password;
  }
}

// Hashes made before were of the Windows-1252 form of a password; the UTF-8 bytes typed match them.
TEST(Passwords, APasswordMatchesAsTypedOrInItsOldForm) {
  const std::string typed = "Pa\xC3\xA7oca 42";
  EXPECT_EQ(MatchPassword(typed, HashPassword(typed)), PasswordMatch::AsTyped);
  EXPECT_EQ(MatchPassword(typed, HashPassword("Pa\xE7oca 42")), PasswordMatch::OldForm);
  EXPECT_EQ(MatchPassword(typed, HashPassword("Pa\xC3\xA7oca 43")), PasswordMatch::None);
  EXPECT_EQ(MatchPassword("Pa\xE7oca 42", HashPassword("Pa\xE7oca 42")), PasswordMatch::AsTyped)
      << "bytes that are no UTF-8 are taken as they are";
}

TEST(Passwords, ATextThatIsNoHashMatchesNothing) {
  for (const char* stored : {"", "same", "$argon2id$v=19$m=65536,t=2,p=1$broken"}) {
    EXPECT_FALSE(VerifyPassword("same", stored)) << stored;
    EXPECT_FALSE(VerifyPassword("", stored)) << stored;
  }
}

}  // namespace
}  // namespace zi::server::test
