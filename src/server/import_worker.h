#pragma once
// The remote-import worker of "zorinput-server import-worker": takes the queued files one by one,
// imports each with the zorinput program as the user who uploaded it, records the outcome with the
// file and mails it to the uploader.

#include <ostream>
#include <string>

namespace zi::server {

struct ImportWorkerOptions {
  std::string program;    // the zorinput program; empty: the one beside this program
  std::string mailRelay;  // host or base URL of the mail relay; empty: no mail is sent
  bool untilEmpty = false;  // stop when the queue is empty instead of waiting for files
  int pollMs = 5000;        // how long an empty queue is waited on before it is looked at again
};

// Runs until the queue is empty (untilEmpty), or until SIGTERM or SIGINT arrives: the file in hand
// is imported to its end first. 0, or 1 when the database cannot be used.
int RunImportWorker(const std::string& path, const ImportWorkerOptions& options, std::ostream& out,
                    std::ostream& err);

}  // namespace zi::server
