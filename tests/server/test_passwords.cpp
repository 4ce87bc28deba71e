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

TEST(Passwords, ATextThatIsNoHashMatchesNothing) {
  for (const char* stored : {"", "same", "$argon2id$v=19$m=65536,t=2,p=1$broken"}) {
    EXPECT_FALSE(VerifyPassword("same", stored)) << stored;
    EXPECT_FALSE(VerifyPassword("", stored)) << stored;
  }
}

}  // namespace
}  // namespace zi::server::test
