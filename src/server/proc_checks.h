#pragma once
// The checks and argument readers the procedures share. A check answers 0 when it passes, else the
// code the procedure returns; FirstFailure keeps the first code of a list of checks.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "toolbox/db_value.h"

namespace zi::server {

class ProcContext;

// Codes shared by the writers (ours):
// - 8601 an operation for administrators only;
// - 8602 a value outside what its column accepts, or naming a reference item that does not exist;
// - 8603 NULL, or a text of blanks only, where a value is required;
// - 8606 a code that another row already holds.
inline constexpr int kNotAdministrator = 8601;
inline constexpr int kOutOfRange = 8602;
inline constexpr int kValueMissing = 8603;
inline constexpr int kCodeTaken = 8606;

int FirstFailure(std::initializer_list<int> codes);

int RequireUser(ProcContext& call);
int RequireAdministrator(ProcContext& call);
int RequiredText(ProcContext& call, const std::string& param);
int IntegerIn(ProcContext& call, const std::string& param, int64_t min, int64_t max);

int64_t Integer(ProcContext& call, const std::string& param);
int64_t IntegerOr(ProcContext& call, const std::string& param, int64_t missing);
std::string TextOr(ProcContext& call, const std::string& param, const std::string& missing = "");
// A boolean input; NULL reads as false.
bool Flag(ProcContext& call, const std::string& param);

bool Exists(ProcContext& call, std::string_view sql, const std::vector<DbValue>& params);

}  // namespace zi::server
