#include "toolbox/server_version.h"

#include <gtest/gtest.h>

namespace zi {
namespace {

TEST(ServerVersion, IndexAndReturnValueNameFollowTheVersionText) {
  const struct {
    const char* text;
    int index;
    const char* returnValue;
  } cases[] = {
      {"Microsoft SQL Server  7.00 - 7.00.1063 (Intel X86)", 1, "RETURN_VALUE"},
      {"Microsoft SQL Server 7.00 - one blank is not version 7", 0, "RETURN_VALUE"},
      {"Microsoft SQL Server 2000 - 8.00.2039", 2, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2005 - 9.00.5000.00", 3, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2008 R2 (SP3) - 10.50.6000.34", 4, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2012 - 11.0.7001.0", 5, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2014 - 12.0.6024.0", 6, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2016 (SP2) - 13.0.5026.0", 7, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2017 (RTM) - 14.0.1000.169", 8, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2019 (RTM-CU8) - 15.0.4073.23", 9, "@RETURN_VALUE"},
      {"Microsoft SQL Server 2022 (RTM) - 16.0.1000.6", 0, "RETURN_VALUE"},
      {"microsoft sql server 2019", 0, "RETURN_VALUE"},
      {" Microsoft SQL Server 2019", 0, "RETURN_VALUE"},
      {"Microsoft SQL Server 201", 0, "RETURN_VALUE"},
      {"", 0, "RETURN_VALUE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ServerVersionIndex(c.text), c.index) << c.text;
    EXPECT_STREQ(ReturnValueName(ServerVersionIndex(c.text)), c.returnValue) << c.text;
  }
}

}  // namespace
}  // namespace zi
