#include "server/import_queue.h"

#include <climits>

#include <sodium.h>

#include "server/proc_checks.h"
#include "server/server.h"
#include "server/sqlite_db.h"

namespace zi::server {

namespace {

constexpr size_t kSecretBytes = 32;

void StartSodium() {
  static const bool started = sodium_init() >= 0;
  if (!started) throw std::runtime_error("libsodium could not start");
}

TBlob SecretHash(std::string_view secret) {
  StartSodium();
  std::string hash(crypto_generichash_BYTES, '\0');
  crypto_generichash(reinterpret_cast<unsigned char*>(hash.data()), hash.size(),
                     reinterpret_cast<const unsigned char*>(secret.data()), secret.size(), nullptr, 0);
  return TBlob{hash};
}

std::string NewSecret() {
  StartSodium();
  unsigned char bytes[kSecretBytes];
  randombytes_buf(bytes, sizeof bytes);
  char hex[2 * kSecretBytes + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

// "ImportFileAdd": queues a file for the import worker, as the logged-in user's.
// - 18456 without a logged-in user;
// - 99101 no file name, or no content (an empty file has nothing to import);
// - 99102 a priority below 1, flags that name no encoding (0 none, 1 UTF-8, 2 Windows-1252), or a
//   file name with control characters (it would forge lines of the worker's log and mail).
int ImportFileAdd(ProcContext& call) {
  if (const int code = FirstFailure({RequireUser(call), IntegerIn(call, "@Prioridade", 1, INT_MAX),
                                     RequiredText(call, "@Filename"),
                                     IntegerIn(call, "@Flags", 0, kImportFlagsLast)})) {
    return code;
  }
  if (HasControlCharacters(call.In("@Filename").AsText())) return kOutOfRange;
  if (call.IsNull("@Conteudo")) return kValueMissing;
  call.Db().Run(
      "INSERT INTO ImportQueue (priority, file_name, flags, content, uploader, uploaded, state) "
      "VALUES (?, ?, ?, ?, ?, ?, 'queued')",
      {call.In("@Prioridade"), call.In("@Filename"), call.In("@Flags"), call.In("@Conteudo"), call.SessionUserId(),
       call.Now()});
  return 0;
}

}  // namespace

void CreateImportQueue(SqliteDb& db) {
  db.Exec(R"sql(
    CREATE TABLE ImportQueue (
      id INTEGER PRIMARY KEY,
      priority INTEGER NOT NULL CHECK (priority >= 1),
      file_name TEXT NOT NULL CHECK (file_name <> ''),
      flags INTEGER NOT NULL DEFAULT 0,
      content BLOB NOT NULL,
      uploader INTEGER NOT NULL REFERENCES users (id),
      uploaded DATETIME NOT NULL,
      state TEXT NOT NULL CHECK (state IN ('queued', 'running', 'done', 'failed')),
      worker_host TEXT,
      worker_pid INTEGER,
      ticket_hash BLOB,
      started DATETIME,
      finished DATETIME,
      result_code INTEGER,
      output TEXT,
      mail_code INTEGER
    );
    CREATE INDEX ImportQueue_next ON ImportQueue (priority, id) WHERE state = 'queued';
  )sql");
}

void RegisterImportQueueProcedures(Registry& registry) {
  registry.Add({"ImportFileAdd",
                ProcAccess::Writes,
                {{"@Prioridade", DbType::Integer},
                 {"@Filename", DbType::Text},
                 {"@Flags", DbType::Integer},
                 {"@Conteudo", DbType::Blob}},
                ImportFileAdd});
}

std::optional<QueuedImport> ClaimNextImport(SqliteDb& db, const std::string& host, int pid, TDateTime now) {
  AtomicScope scope(db);
  const ResultSet next = db.Query(
      "SELECT q.id, q.priority, q.file_name, q.content, q.uploader, u.name, u.email, q.flags FROM ImportQueue q "
      "JOIN users u ON u.id = q.uploader WHERE q.state = 'queued' ORDER BY q.priority, q.id LIMIT 1");
  if (next.rows.empty()) return std::nullopt;
  const auto& row = next.rows[0];
  QueuedImport claimed{.id = row[0].AsInteger(),
                       .priority = static_cast<int>(row[1].AsInteger()),
                       .fileName = row[2].AsText(),
                       .content = row[3].AsBlob().bytes,
                       .flags = static_cast<int>(row[7].AsInteger()),
                       .uploader = static_cast<int>(row[4].AsInteger()),
                       .uploaderName = row[5].AsText(),
                       .uploaderEmail = row[6].AsText()};
  const std::string secret = NewSecret();
  claimed.ticket = std::to_string(claimed.id) + ":" + secret;
  db.Run(
      "UPDATE ImportQueue SET state = 'running', worker_host = ?, worker_pid = ?, ticket_hash = ?, started = ? "
      "WHERE id = ?",
      {host, pid, SecretHash(secret), now, claimed.id});
  scope.Commit();
  return claimed;
}

int RequeueAbandonedImports(SqliteDb& db, const std::string& host, const std::function<bool(int pid)>& alive) {
  AtomicScope scope(db);
  const ResultSet running =
      db.Query("SELECT id, worker_pid FROM ImportQueue WHERE state = 'running' AND worker_host = ?", {host});
  int requeued = 0;
  for (const auto& row : running.rows) {
    if (alive(static_cast<int>(row[1].AsInteger()))) continue;
    db.Run(
        "UPDATE ImportQueue SET state = 'queued', worker_host = NULL, worker_pid = NULL, ticket_hash = NULL, "
        "started = NULL WHERE id = ?",
        {row[0]});
    ++requeued;
  }
  scope.Commit();
  return requeued;
}

void RecordImportOutcome(SqliteDb& db, int64_t id, int resultCode, const std::string& output, int mailCode,
                         TDateTime now) {
  AtomicScope scope(db);
  db.Run(
      "UPDATE ImportQueue SET state = ?, result_code = ?, output = ?, mail_code = ?, finished = ?, "
      "ticket_hash = NULL WHERE id = ?",
      {resultCode == 0 ? "done" : "failed", resultCode, output, mailCode, now, id});
  scope.Commit();
}

int UserOfImportTicket(SqliteDb& db, const std::string& user, const std::string& ticket) {
  const size_t colon = ticket.find(':');
  if (colon == std::string::npos || colon == 0) return 0;
  int64_t id = 0;
  for (size_t i = 0; i < colon; ++i) {
    if (ticket[i] < '0' || ticket[i] > '9' || id > INT32_MAX) return 0;
    id = id * 10 + (ticket[i] - '0');
  }
  const ResultSet found = db.Query(
      "SELECT q.uploader, q.ticket_hash FROM ImportQueue q JOIN users u ON u.id = q.uploader "
      "WHERE q.id = ? AND q.state = 'running' AND u.name = ?",
      {id, user});
  if (found.rows.empty() || found.rows[0][1].IsNull()) return 0;
  const std::string& stored = found.rows[0][1].AsBlob().bytes;
  const std::string given = SecretHash(std::string_view(ticket).substr(colon + 1)).bytes;
  if (stored.size() != given.size() || sodium_memcmp(stored.data(), given.data(), given.size()) != 0) return 0;
  return static_cast<int>(found.rows[0][0].AsInteger());
}

}  // namespace zi::server
