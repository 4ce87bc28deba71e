#pragma once
// The versioned-copy launch: a program file kept on a shared folder runs from a copy named after its
// version ("zorinput-VERSION-1131" beside "zorinput"), so that the file itself can be replaced while
// users run it.

#include <string_view>

namespace zi {

struct RacoteResult {
  // The copy was started with this process's arguments and has ended: the caller ends this process
  // with the copy's status, so that a shell or a script sees how the run went.
  bool copyStarted = false;
  // Why the program goes on from its own file (4485 already the copy, 4486 a copy of another version,
  // 4487, 4493, a copy or start error); 0 when the copy was started.
  int code = 0;
  // The copy's exit status; 128 + the signal's number when a signal ended it; 250 when it could not
  // be waited for.
  int copyStatus = 0;
};

// Never fails the run: every problem is logged and the program goes on from its own file.
RacoteResult RACOTE(std::string_view version);

}  // namespace zi
