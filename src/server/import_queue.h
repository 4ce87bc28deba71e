#pragma once
// The queue of remote imports: files uploaded by "ImportFileAdd" wait here until an import worker
// takes them, by priority (1 first) and then by age, and runs each as the user who uploaded it.
//
// A worker claims a file by marking it running with its host and process id and a ticket: a random
// secret whose hash the row keeps, with which the import it starts logs in as the uploader. A row
// left running by a worker that is gone (killed) goes back to the queue when a worker starts on
// the same host, so no uploaded file is ever lost.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "toolbox/db_value.h"
#include "toolbox/import_ticket.h"

namespace zi::server {

class SqliteDb;
class Registry;

void CreateImportQueue(SqliteDb& db);
void RegisterImportQueueProcedures(Registry& registry);

struct QueuedImport {
  int64_t id = 0;
  int priority = 0;
  std::string fileName;  // as uploaded (program text)
  std::string content;
  int flags = 0;  // the encoding the uploader named (import_ticket.h)
  int uploader = 0;
  std::string uploaderName;
  std::string uploaderEmail;
  std::string ticket;  // "ID:SECRET", for the environment of the import; never stored
};

// Takes the next queued file for the worker host:pid, or nothing when the queue is empty.
std::optional<QueuedImport> ClaimNextImport(SqliteDb& db, const std::string& host, int pid, TDateTime now);

// Puts back into the queue the files that workers of this host left running and that are gone:
// how many.
int RequeueAbandonedImports(SqliteDb& db, const std::string& host, const std::function<bool(int pid)>& alive);

// Records how the import of a claimed file ended and forgets its ticket.
void RecordImportOutcome(SqliteDb& db, int64_t id, int resultCode, const std::string& output, int mailCode,
                         TDateTime now);

// The uploader's user id when the ticket is that of a running import uploaded by the user named;
// 0 otherwise.
int UserOfImportTicket(SqliteDb& db, const std::string& user, const std::string& ticket);

using zi::kImportTicketVariable;

}  // namespace zi::server
