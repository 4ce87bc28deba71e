#pragma once
// Which server the connection talks to, learned from the text of "SELECT @@VERSION", and the name
// that server gives a procedure's return value.

#include <string_view>

namespace zi {

// 0 unknown, 1 for version 7.0, 2 to 9 for 2000, 2005, 2008, 2012, 2014, 2016, 2017 and 2019.
int ServerVersionIndex(std::string_view versionText);

// "RETURN_VALUE" below index 2, "@RETURN_VALUE" from there on.
const char* ReturnValueName(int index);

}  // namespace zi
