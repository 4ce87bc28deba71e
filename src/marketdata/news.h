#pragma once
// News items of a company (announcements, shareholder-meeting notices): the record, its one-line
// form and the procedures that read and write it. The calls return 0 or an error code; the import's
// writer lets an exception escape for its line to report, the others log it and return a code.

#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/dates.h"

namespace zi {

struct tNws {
  int32_t id = 0;
  int32_t emp = 0;
  TDayNumber date;
  int32_t seq = -1;
  std::string txt;  // lines joined by CR LF

  bool operator==(const tNws&) const = default;
};

// The date as the regional settings show it, the sequence and the text on one line (control
// characters as blanks, runs of blanks as one, trimmed), then "...".
std::string NwsOneLine(const tNws& item);

int DbNwsImportV2(int emp, TDayNumber date, int seq, const std::string& txt);
int DbNwsGet(int id, tNws& item);
// On success the server's id is written into the record.
int DbNwsAdd(tNws& item);
int DbNwsPut(const tNws& item);
int DbNwsDel(int id);
// The items of a company, newest first; empty after an error.
int DbNwsDaEmpAbrv(int emp, std::vector<tNws>& items);

}  // namespace zi
