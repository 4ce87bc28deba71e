#include "db/sql_errors.h"

#include <algorithm>
#include <map>

#include "db/command.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/own_codes.h"

namespace zi::db {

namespace {

constexpr size_t kBoxLogLines = 15;

const std::map<int, const char*>& MessageTable() {
  static const std::map<int, const char*> table = {
      {3695, "Please check you have the latest ZorInput version"},
      {3752, "NwsImport company not found"},
      {3755, "Insuficient permission to change class"},
      {3757, "CotacaoImport ticker not found"},
      {3758, "PrvImport ticker not found"},
      {3799, "Not allowed to delete this item"},
      {3800, "Not allowed to delete this item"},
      {3801, "Not allowed to delete this item"},
      {4042, "CotacaoImport ticker not found"},
      {4065, "File not found, or could not open file"},
      {4068, "Filename is empty"},
      {4069, "Invalid action"},
      {4070, "Contents not suported"},
      {4079, "Please set your email address before starting a remote import"},
      {7125, "Password expired"},
      {7141, "You don't have authority over this class"},
      {7142, "Changing a OCOATV's class or SEQ is not allowed"},
      {8601, "You don't have authority over this country"},
      {8602, "You don't have authority over this exchange"},
      {8603, "Changing a company's country is not allowed"},
      {8604, "Could not find item to delete"},
      {8605, "Could not find item to update"},
      {8606, "Mexendo em campos imexiveis"},
      {8607, "No id for new share holder"},
      {8999, "General failure :-)"},
      {15228, "Shareholder already related with another company"},
      {15241, "Shareholder already related with another company"},
      {15229, "Company has more than one related shareholder"},
      {15230, "Class has more than one related portfolio item"},
      {15231, "Portfolio item already related with another class"},
      {15243, "Portfolio item already related with another class"},
      {15232, "Shareholder has more than one related company"},
      {15233, "Company item already related with another shareholder"},
      {15237, "Company item already related with another shareholder"},
      {15234, "Portfolio item has more than one related class"},
      {15235, "Class item already related with another portfolio item"},
      {15239, "Class item already related with another portfolio item"},
      {15252, "Insuficient permission to change fmtbal1 (EOL)"},
      {15258, "Insuficient permission to change company"},
      {15275, "Insuficient permission to use this status"},
      {15276, "Insuficient permission to change 'include financial statements even if it is a foreign company'"},
      {15277, "Insuficient permission to change calendar"},
      {40000,
       "There is no currency registered in ZorInput for financial statements belonging to this company "
       "(considering the respective financial statement source)."},
      {40001, "Financial statement with a currency different from the one indicated for the company"},
  };
  return table;
}

bool InExplainedRange(int code) {
  return (code >= 3000 && code <= 9000) || (code >= 15000 && code <= 19999) || (code >= 40000 && code <= 44999);
}

}  // namespace

std::string SqlErrorText(int code) {
  if (const char* own = OwnCodeText(code)) return std::string(own) + " error:" + std::to_string(code);
  if (InExplainedRange(code)) {
    auto it = MessageTable().find(code);
    if (it != MessageTable().end()) return std::string(it->second) + " error:" + std::to_string(code);
  }
  return "error:" + std::to_string(code);
}

std::string SqlErrorBoxText(int code) {
  std::string text = SqlErrorText(code);
  std::vector<std::string> recent = RecentLogLines();
  size_t first = recent.size() > kBoxLogLines ? recent.size() - kBoxLogLines : 0;
  for (size_t i = first; i < recent.size(); ++i) text += "\r\n- " + recent[i];
  return text;
}

void ShowSqlErrorTxt(const std::string& where, int code) {
  if (code == 0) return;
  std::string caption = "SQL error " + std::to_string(code) + " on " + where;
  Loga("ShowSqlErrorTxt error:" + std::to_string(code) + " \"" + SqlErrorText(code) + "\" \"" + caption + "\"");
  ShowErrorBox(caption, SqlErrorBoxText(code));
}

void ShowSqlErrorTxt(const TDbCommand& command, int code) { ShowSqlErrorTxt("dataset:" + command.Name(), code); }

}  // namespace zi::db
