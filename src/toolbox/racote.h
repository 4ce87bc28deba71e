#pragma once
// The versioned-copy launch: a program file kept on a shared folder runs from a copy named after its
// version ("zorinput-VERSION-1131" beside "zorinput"), so that the file itself can be replaced while
// users run it.

#include <string_view>

namespace zi {

struct RacoteResult {
  // The copy was started with this process's arguments: the caller ends this process at once with
  // exit code 0.
  bool copyStarted = false;
  // Why the program goes on from its own file (4485 already the copy, 4486 a copy of another version,
  // 4487, 4493, a copy or start error); 0 when the copy was started.
  int code = 0;
};

// Never fails the run: every problem is logged and the program goes on from its own file.
RacoteResult RACOTE(std::string_view version);

}  // namespace zi
