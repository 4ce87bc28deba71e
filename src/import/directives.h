#pragma once
// The directive table of import files: every keyword with its handler convention, whether it reads
// continuation lines up to END, and whether it writes companies, classes or series. The table is
// fixed; each directive family plugs its handlers in by keyword at start-up, and a keyword whose
// family is not part of the build answers that it is not available.

#include <functional>
#include <span>
#include <string_view>

namespace zi {

class TImpMain;

enum class TDirectiveKind {
  Code,     // the handler returns an error code, 0 for success
  Flag,     // the handler returns a success flag; a failure without a code counts as 3943
  Builtin,  // handled by the run itself
};

struct TDirective {
  std::string_view keyword;  // upper case, with its star
  TDirectiveKind kind;
  std::string_view family;  // what the directive writes, for messages
  bool block = false;       // reads continuation lines up to a line whose first token is END
  bool writesObjects = false;  // changes companies, classes or series
};

struct TDirectiveOutcome {
  bool ok = true;
  int code = 0;
};

using TDirectiveHandler = std::function<TDirectiveOutcome(TImpMain& run, const TDirective& directive)>;

std::span<const TDirective> DirectiveTable();
// The row of an upper-case keyword; nullptr when no row has it.
const TDirective* FindDirective(std::string_view keyword);

// Plugs a handler in; an empty handler takes it out again. A keyword that is not in the table, or
// a built-in one, is a programming error (std::logic_error).
void SetDirectiveHandler(std::string_view keyword, TDirectiveHandler handler);
// nullptr while no family has plugged the keyword in.
const TDirectiveHandler* DirectiveHandler(const TDirective& directive);

}  // namespace zi
