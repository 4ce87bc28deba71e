#include "import/run.h"

#include <climits>
#include <exception>

#include <fmt/format.h>

#include "catalogue/caches.h"
#include "db/connection.h"
#include "import/directives.h"
#include "session/bulletin.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

const char* YN(bool value) { return value ? "Y" : "N"; }

bool HasText(std::string_view text) { return !Trim(text).empty(); }

constexpr const char* kLineTooLong = "Error:99308 a line of {} bytes is longer than the {} bytes a line may hold: {}";

TTextLines LoadLines(const std::string& fileName, std::string_view text, TImportEncoding encoding) {
  TTextLines lines = HasText(text) ? TTextLines::FromText(text) : TTextLines::FromFile(fileName, encoding);
  // Line numbers are 32-bit counts.
  if (lines.Count() > static_cast<size_t>(INT_MAX)) throw std::runtime_error("the file has too many lines");
  return lines;
}

}  // namespace

tImpRoot::tImpRoot(std::string fileName, bool CIorCO, bool fileNamePrefix, std::string_view text,
                   TImportEncoding encoding)
    : fileName_(std::move(fileName)),
      CIorCO_(CIorCO),
      fileNamePrefix_(fileNamePrefix),
      tokens_(std::make_unique<tParserSpcDelim>()) {
  Loga("ImpRoot start " + PathText(fileName_) + " CIorCO:" + YN(CIorCO_));
  if (encoding != TImportEncoding::Unchosen && !HasText(text))
    Loga(std::string("ImpRoot encoding:") + ImportEncodingName(encoding));
  try {
    lines_ = LoadLines(fileName_, text, encoding);
  } catch (const std::exception& e) {
    Erro_ = kFileNotLoaded;
    ReportException("[tIR.C LFF:" + PathText(fileName_) + "]", e);
  }
}

tImpRoot::~tImpRoot() { Loga(StateText("end")); }

int tImpRoot::ResultCode() const {
  if (Erro_ != 0) return Erro_;
  if (ErroNaoFatal_ != 0) return ErroNaoFatal_;
  return Acabou_ ? 0 : kRunNotFinished;
}

std::string tImpRoot::StateText(std::string_view caller) const {
  return "ImpRoot " + std::string(caller) + " Erro:" + std::to_string(Erro_) +
         " ErroNaoFatal:" + std::to_string(ErroNaoFatal_) + " ErroNaoFatalCount:" + std::to_string(ErroNaoFatalCount_) +
         " Acabou:" + YN(Acabou_) + " ToNoCheck:" + YN(ToNoCheck_) + " lnn:" + std::to_string(lnn_) +
         " ErrMsgCount:" + std::to_string(ErrMsgCount_) + " FirstErrMsg:<" + FirstErrMsg_ + ">" + " LastErrMsg:<" +
         LastErrMsg_ + ">" + " LastLine:<" + CutText(lastLine_, kQuotedLineLimit) + ">";
}

bool tImpRoot::IsSkipLine(std::string_view line, bool keepBlank) const { return zi::IsSkipLine(line, keepBlank); }

std::string tImpRoot::RunName() const { return "[" + std::string(ClassName()) + " \"" + PathText(fileName_) + "\"]"; }

void tImpRoot::EndOfRun() {}

void tImpRoot::StartPass() {
  passStarted_ = true;
  for (auto& [type, state] : states_) state->StartPass(*this);
  if (Erro_ == 0) {
    lnn_ = 0;
    lastLine_ = {};
  }
}

bool tImpRoot::ReadSignificantLine(bool keepBlank) {
  while (Erro_ == 0 && static_cast<size_t>(lnn_) < lines_.Count()) {
    const size_t index = static_cast<size_t>(lnn_++);
    lastLine_ = lines_.Line(index);
    // The refusal is the file's: it holds on a comment line too.
    if (const TEncodingRefusal& refusal = lines_.Refusal(); refusal.code != 0 && refusal.line == index) {
      ErrorMessage(refusal.message);
      SetErro(refusal.code);
      NoteStep(index, refusal.code);
      break;
    }
    if (IsSkipLine(lastLine_, keepBlank)) continue;
    if (const std::string& defect = lines_.Defect(index); !defect.empty()) {
      ErrorMessage(defect + ": " + CutText(lastLine_, kQuotedLineLimit));
      SetErro(kImportLineNotText);
      NoteStep(index, kImportLineNotText);
      break;
    }
    // The directives copy the fields they read several times over (and so do the tokens' list and
    // the database calls): a line of any length would cost memory many times its size.
    if (lastLine_.size() > kMaxLineBytes) {
      ErrorMessage(fmt::format(kLineTooLong, lastLine_.size(), kMaxLineBytes, CutText(lastLine_, kQuotedLineLimit)));
      SetErro(kImportLineTooLong);
      NoteStep(index, kImportLineTooLong);
      break;
    }
    tokens_.Parse(lastLine_);
    return true;
  }
  tokens_.Parse({});
  return false;
}

void tImpRoot::EndOfPass() {
  if (ToNoCheck_) {
    for (auto& [type, state] : states_) {
      if (Erro_ != 0) return;
      SetErro(state->EndOfCheckPass(*this));
    }
    if (Erro_ != 0) return;
  }
  if (ToNoCheck_ && CIorCO_) {
    ToNoCheck_ = false;
    Output("check ok, starting import", false);
    StartPass();
    return;
  }
  EndOfRun();
  Acabou_ = true;
}

std::string_view tImpRoot::NextLine(bool keepBlank) {
  if (!passStarted_) StartPass();
  while (Erro_ == 0 && NotFinished()) {
    if (ReadSignificantLine(keepBlank)) return lastLine_;
    if (Erro_ == 0) EndOfPass();
  }
  tokens_.Parse({});
  return {};
}

bool tImpRoot::NextBlockLine(bool keepBlank) {
  if (!passStarted_) StartPass();
  return ReadSignificantLine(keepBlank);
}

void tImpRoot::SkipBlock() {
  while (NextBlockLine(false)) {
    if (UpperAscii(tokens_.Token(0)) == "END") return;
  }
}

void tImpRoot::ErrorMessage(std::string_view message, bool memoryOnly) {
  // A message may quote a field of any length.
  const std::string shown = CutText(message, kMessageLimit);
  if (rejects_) rejects_->Message(shown);
  WriteErrorMessage(shown, memoryOnly);
}

void tImpRoot::WriteErrorMessage(std::string_view message, bool memoryOnly) {
  ++ErrMsgCount_;
  if (FirstErrMsg_.empty()) FirstErrMsg_ = message;
  LastErrMsg_ = message;
  Output("line:" + std::to_string(lnn_) + " " + std::string(message), memoryOnly);
}

void tImpRoot::NonFatalError(int code) {
  if (code == 0) return;
  if (ErroNaoFatal_ == 0) ErroNaoFatal_ = code;
  ++ErroNaoFatalCount_;
  if (ErroNaoFatalCount_ > kMaxFailedLines) SetErro(kTooManyFailedLines);
}

void tImpRoot::SetErro(int code) {
  if (Erro_ == 0) Erro_ = code;
}

void tImpRoot::SetRejectsFile(std::string path) { rejects_ = std::make_unique<TRejects>(std::move(path)); }

void tImpRoot::NoteStep(size_t first, int code) {
  if (!rejects_) return;
  if (Erro_ != 0 && ToNoCheck_) rejects_->CheckFailed(first);
  else if (Erro_ != 0) rejects_->FailedFrom(first);
  else if (code != 0) rejects_->Failed(first, static_cast<size_t>(lnn_) - 1);
  else rejects_->Succeeded();
}

void tImpRoot::LinesNotWritten(size_t first, int ran, std::string_view message) {
  lostLineCount_ += ran;
  if (rejects_) rejects_->NotWrittenFrom(first, message);
  WriteErrorMessage(message, false);
}

void tImpRoot::AfterRun() {
  if (!rejects_ || lines_.Count() == 0) return;
  // A check that failed outside any line (at the end of its pass) still wrote nothing.
  if (Erro_ != 0 && ToNoCheck_ && rejects_->Empty()) rejects_->CheckFailed(0);
  if (const int error = rejects_->Write(lines_)) {
    Output("Rejects file " + PathText(rejects_->Path()) + " not written erro:" + std::to_string(error), false);
  }
}

void tImpRoot::EndOfRunStates() {
  for (auto& [type, state] : states_) {
    if (Erro_ != 0) return;
    SetErro(state->EndOfRun(*this));
  }
}

namespace {

constexpr const char* kCommittedUpTo = "import committed up to line ";
// A dry run's groups are levels of its one transaction: they are kept in it, never committed.
constexpr const char* kKeptUpTo = "dry run kept up to line ";
constexpr const char* kGroupLostAfter = "import lines after line {} are not written: their group was lost";

}  // namespace

TImpMain::~TImpMain() { StopGroups(); }

void TImpMain::EndOfRun() {
  tImpRoot::EndOfRun();
  // The states' end of run registers what was imported: it must be committed first.
  StopGroups();
  EndOfRunStates();
}

void TImpMain::AfterGroupCall(bool committed, int code) {
  if (committed) {
    lastCommittedLine_ = lastGroupedLine_;
    linesInGroup_ = 0;
    Loga((DryRun() ? kKeptUpTo : kCommittedUpTo) + std::to_string(lastCommittedLine_));
  }
  if (code == 0) return;
  // The run stops here: nothing after the last commit is in the database.
  LinesNotWritten(static_cast<size_t>(lastCommittedLine_), linesInGroup_,
                  fmt::format(kGroupLostAfter, lastCommittedLine_));
  linesInGroup_ = 0;
  SetErro(code);
}

bool TImpMain::StartGroupedLine() {
  if (!db::HaveZiDb()) return false;
  db::TAdoDataBaseComInfoTran& database = db::ZiDb();
  if (!groupsAsked_) {
    groupsAsked_ = true;
    // What the check pass read is no change.
    if (database.InDryRun()) database.CountDryRunChanges();
    database.StartCommitGroups();
  }
  if (!database.GroupsCommits()) return false;
  bool committed = false;
  const int code = database.BeginGroupItem(committed);
  AfterGroupCall(committed, code);
  if (code != 0) return false;
  // No group is open: the line's calls commit as they go, after everything before it.
  if (!database.GroupItemOpen()) ungroupedLine_ = true;
  return !ungroupedLine_;
}

void TImpMain::EndGroupedLine(bool keep) {
  const int code = db::ZiDb().EndGroupItem(keep);
  if (keep) ++linesInGroup_;
  if (code == 0) lastGroupedLine_ = lnn();
  AfterGroupCall(false, code);
}

int TImpMain::CommitLines() {
  if (!groupsAsked_ || !db::HaveZiDb()) return 0;
  bool committed = false;
  const int code = db::ZiDb().CommitGroup(committed);
  AfterGroupCall(committed, code);
  return code;
}

void TImpMain::StopGroups() {
  if (!groupsAsked_ || !db::HaveZiDb()) return;
  groupsAsked_ = false;
  bool committed = false;
  const int code = db::ZiDb().StopCommitGroups(committed);
  AfterGroupCall(committed, code);
}

// The outcome of one directive line as a code, 0 when it succeeded.
int TImpMain::Dispatch(std::string_view keyword) {
  // Files repeat one keyword for thousands of lines.
  if (!lastDirective_ || lastDirective_->keyword != keyword) lastDirective_ = FindDirective(keyword);
  const TDirective* directive = lastDirective_;
  if (!directive) {
    SetErro(kUnknownDirective);
    return 0;
  }
  if (directive->kind == TDirectiveKind::Builtin) {
    if (keyword == "*TIPOOBJ") SetErro(kTipoObjRefused);
    else if (keyword == "*REQGBOL" && !ToNoCheck() && !DryRun()) AppendRequester("[import \"*REQGBOL\" " + RunName() + "]");
    return 0;
  }
  const TDirectiveHandler* handler = DirectiveHandler(*directive);
  if (!handler) {
    ErrorMessage(std::string(directive->keyword) + ": directives of " + std::string(directive->family) +
                 " are not available in this build (error:" + std::to_string(kDirectiveNotAvailable) + ")");
    return kDirectiveNotAvailable;
  }
  TDirectiveOutcome outcome;
  try {
    outcome = (*handler)(*this, *directive);
  } catch (const std::exception& e) {
    outcome.code = 0;
    ReportExceptionWithCode("TImpMain.Step " + std::string(directive->keyword), outcome.code, e,
                            kDirectiveRaised);
  }
  // What the catalogue's caches hold of an object this line may have written is no longer sure.
  if (directive->writesObjects && !ToNoCheck()) DropObjectCaches();
  if (!outcome.ok && outcome.code == 0) return kDirectiveFailed;
  return outcome.code;
}

void TImpMain::Step() {
  const std::string_view line = NextLine(false);
  if (!NotFinished()) return;
  const size_t first = static_cast<size_t>(lnn()) - 1;
  const int messagesBefore = ErrMsgCount();
  // Upper-cased in place of a string: this runs once for every line of a file. A token longer than
  // the buffer is longer than every keyword.
  const std::string_view token = Tokens().Token(0);
  char buffer[32];
  std::string_view keyword = token;
  if (token.size() <= sizeof buffer) {
    for (size_t i = 0; i < token.size(); ++i) {
      const char c = token[i];
      buffer[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    keyword = std::string_view(buffer, token.size());
  }
  const bool grouped = !keyword.empty() && !ToNoCheck() && StartGroupedLine();
  if (!NotFinished()) return;
  const int code = keyword.empty() ? 0 : Dispatch(keyword);
  // A failed line leaves nothing behind, as when each of its calls committed on its own.
  if (grouped) EndGroupedLine(code == 0);
  if (ungroupedLine_) {
    ungroupedLine_ = false;
    lastCommittedLine_ = lastGroupedLine_ = lnn();
  }
  if (code != 0) {
    if (ToNoCheck()) SetErro(code);
    else NonFatalError(code);
  }
  // The run's own code: a line stopped by an unknown keyword has no code of its own.
  if (Erro() != 0 && ErrMsgCount() == messagesBefore) {
    ErrorMessage("Error:" + std::to_string(Erro()) + " Invalid line: " + CutText(line, kQuotedLineLimit));
  }
  if (Erro() != 0) StopGroups();
  NoteStep(first, code);
}

}  // namespace zi
