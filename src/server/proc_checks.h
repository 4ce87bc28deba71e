#pragma once
// The checks and argument readers the procedures share. A check answers 0 when it passes, else the
// code the procedure returns; FirstFailure keeps the first code of a list of checks.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "server/session_user.h"
#include "toolbox/db_value.h"
#include "toolbox/own_codes.h"

namespace zi::server {

class ProcContext;

// Codes the procedures share. The message table's codes keep its meanings; the others are ours
// (own_codes.h), each with one meaning:
// - 8604 the item to delete does not exist; 8605 the item to change does not exist;
// - 99101 NULL, or a text of blanks only, where a value is required;
// - 99102 a value outside what its field accepts;
// - 99103 a value that names a reference item (a country, a currency, a company to hang on ...)
//   that does not exist;
// - 99104 the item to read, or asked about, does not exist;
// - 99105 an operation for administrators only;
// - 99106 a code that another item already holds.
inline constexpr int kNotFoundToDelete = 8604;
inline constexpr int kNotFoundToUpdate = 8605;
inline constexpr int kValueMissing = kAnswerValueMissing;
inline constexpr int kOutOfRange = kAnswerOutOfRange;
inline constexpr int kUnknownReference = kAnswerUnknownReference;
inline constexpr int kNotFound = kAnswerNotFound;
inline constexpr int kNotAdministrator = kAnswerAdministratorOnly;
inline constexpr int kCodeTaken = kAnswerCodeTaken;

int FirstFailure(std::initializer_list<int> codes);

int RequireUser(ProcContext& call);
int RequireAdministrator(ProcContext& call);
// 0 when the logged-in user holds the right (session_user.h), else its refusal.
int RequireRight(ProcContext& call, UserRight right);
int RequiredText(ProcContext& call, const std::string& param);
int IntegerIn(ProcContext& call, const std::string& param, int64_t min, int64_t max);

int64_t Integer(ProcContext& call, const std::string& param);
int64_t IntegerOr(ProcContext& call, const std::string& param, int64_t missing);
std::string TextOr(ProcContext& call, const std::string& param, const std::string& missing = "");
// A boolean input; NULL reads as false.
bool Flag(ProcContext& call, const std::string& param);

bool Exists(ProcContext& call, std::string_view sql, const std::vector<DbValue>& params);

// A series status that every user may give: 0 and 5. Any other needs PodeTodosOsTiposDeBGL, else
// kStatusRefused.
bool IsCommonSeriesStatus(int64_t status);
inline constexpr int kStatusRefused = 15275;

}  // namespace zi::server
