#pragma once
// The corporate-action procedures as the client calls them: 0 or an error code. The writers of the
// import lines let an exception escape, for the line to report with its own words; the others log
// it and return a code.

#include <string>
#include <vector>

#include "marketdata/corporate_action.h"

namespace zi {

int DbPrvImport(const std::string& ticker, int bolsa, const tPrvento& prv);
int DbPrvImportV2(const std::string& ticker, int bolsa, const tPrvento& prv);
int DbPrvDelV2(const std::string& chaveExterna);

// On success the server's id is written into the record.
int DbPrvAddV2(tPrvento& prv);
int DbPrvPutV2(const tPrvento& prv);
// The actions of a series in the server's order (ex-date, order, id); empty after an error.
int DbPrvDaAnbV2(int anb, std::vector<tPrvento>& actions);

// A corporate-action type as the server describes it.
struct TOcoCaracs {
  int id = 0;
  int seq = 0;
  std::string abrv;
  std::string nome;
};
int DbOcoCaracsV2(std::vector<TOcoCaracs>& types);

}  // namespace zi
