#include "marketdata/news_directives.h"

#include <string>
#include <vector>

#include "db/sql_errors.h"
#include "import/company_key.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "marketdata/news.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kServerCompanyNotFound = 3752;
constexpr int kServerNothingToDelete = 8604;
constexpr int kTextNotRead = 25288;

constexpr const char* kInvalidFieldCount = "Invalid # of fields";
constexpr const char* kEmptyCompany = "Empty <company>";
constexpr const char* kInvalidDate = "Invalid <pub_date>";
constexpr const char* kInvalidSeq = "Invalid <seq>";
constexpr const char* kReachedEof = "reached EOF";
constexpr std::string_view kEnd = "END";
constexpr std::string_view kLineBreak = "\r\n";

struct TNwLine {
  std::string key1;
  std::string key2;
  TDayNumber date;
  int32_t seq = -1;
  std::vector<int> companies;
  bool resolved = false;
};

// The line's fields; false after writing why they are refused.
bool ReadFields(TImpMain& run, TNwLine& line) {
  tParserWrapper& tokens = run.Tokens();
  if (tokens.Count() != 5) {
    run.ErrorMessage(kInvalidFieldCount);
    return false;
  }
  line.key1 = std::string(tokens.Token(1));
  line.key2 = std::string(tokens.Token(2));
  if (Trim(line.key1).empty()) {
    run.ErrorMessage(kEmptyCompany);
    return false;
  }
  const std::string_view date = tokens.Token(3);
  const std::string_view seq = tokens.Token(4);
  const int code = ResolveCompanyKey(line.key1, line.key2, run.CachedCompanyLookup(), line.companies);
  line.resolved = code == 0;
  // A company that an earlier line of the file creates exists only once that line is written.
  if (!line.resolved && !(run.ToNoCheck() && CompanyOfTheFile(run, line.key1, line.key2))) {
    run.ErrorMessage("Warning:" + std::to_string(code) + " (Ex:3752) . Invalid company " + line.key1 + "/" + line.key2);
  }
  // Mended: the date identifies the item; an empty date or "-" is refused like an unreadable one.
  if (!ReadRequiredDateField(date, line.date)) {
    run.ErrorMessage(kInvalidDate);
    return false;
  }
  if (!Absent(seq) && (!ReadIntegerField(seq, line.seq) || line.seq < 0)) {
    run.ErrorMessage(kInvalidSeq);
    return false;
  }
  return true;
}

// The lines up to END, blank ones kept, comments dropped, joined by CR LF; false at the end of the
// file, where the block never runs on into the next pass.
bool ReadText(TImpMain& run, std::string& text) {
  bool first = true;
  while (run.NextBlockLine(true)) {
    const std::string_view line = run.LastLine();
    if (line == kEnd) return true;
    if (!first) text += kLineBreak;
    text += line;
    first = false;
  }
  run.ErrorMessage(kReachedEof);
  return false;
}

TDirectiveOutcome Write(TImpMain& run, const TNwLine& line, const std::string& text) {
  for (const int company : line.companies) {
    try {
      const int code = DbNwsImportV2(company, line.date, line.seq, text);
      if (code == 0) continue;
      run.ErrorMessage("ImpNws " + line.key1 + "/" + std::to_string(company) + " : " + db::SqlErrorText(code));
      if (code != kServerCompanyNotFound && code != kServerNothingToDelete) return {false, 0};
    } catch (const std::exception& e) {
      run.ErrorMessage(std::string("b: ImpNws error ") + e.what());
      return {false, 0};
    }
  }
  return {};
}

// The text is read whatever the fields hold, so that a refused line never runs its text as
// directives.
TDirectiveOutcome News(TImpMain& run) {
  TNwLine line;
  const bool fieldsOk = ReadFields(run, line);
  std::string text;
  try {
    if (!ReadText(run, text)) return {false, 0};
  } catch (const std::exception& e) {
    run.ErrorMessage("Erro:" + std::to_string(kTextNotRead) + " ImpNws except " + e.what());
    return {false, 0};
  }
  if (!fieldsOk) return {false, 0};
  if (run.ToNoCheck() || !line.resolved) return {};
  return Write(run, line, text);
}

}  // namespace

void RegisterNewsDirectives() {
  SetDirectiveHandler("*NW", [](TImpMain& run, const TDirective&) { return News(run); });
}

}  // namespace zi
