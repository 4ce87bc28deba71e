#pragma once
// A database file of ours whose marks are intact but one of whose table pages is garbage, as a disk
// fault or a copy cut short leaves one.

#include <fstream>
#include <string>

#include "server/server.h"
#include "server/sqlite_db.h"

namespace zi::test {

inline void MakeDamagedDatabase(const std::string& path) {
  {
    const auto server = server::Server::Open(path, server::ProductRegistry());
    server->ExecuteSql("CREATE TABLE filler (text TEXT NOT NULL)");
    for (int i = 0; i < 200; ++i) server->ExecuteSql("INSERT INTO filler VALUES (?)", {std::string(200, 'x')});
  }
  int64_t pageSize = 0;
  int64_t lastPage = 0;
  {
    const auto db = server::SqliteDb::Open(path);
    pageSize = db->QueryValue("PRAGMA page_size").AsInteger();
    lastPage = db->QueryValue("PRAGMA page_count").AsInteger();
  }
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp((lastPage - 1) * pageSize + 8);
  file << std::string(64, '\xEE');
}

}  // namespace zi::test
