#pragma once
// The import run. A text run takes a file through a check pass that reads every line, validates
// every field and resolves every key without writing anything, and, only when the whole file
// passed, through an import pass that writes line by line: there a failed line is counted and the
// run goes on, up to 50 failed lines. It is driven one significant line per Step.

#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <utility>
#include <vector>

#include "catalogue/registers.h"
#include "import/rejects.h"
#include "import/text_lines.h"
#include "import/tokeniser.h"

namespace zi {

inline constexpr int kUnknownDirective = 3942;
inline constexpr int kDirectiveFailed = 3943;
inline constexpr int kTooManyFailedLines = 3948;
inline constexpr int kRunNotFinished = 3949;
inline constexpr int kFileNotLoaded = 4388;
inline constexpr int kTipoObjRefused = 4431;
inline constexpr int kMaxFailedLines = 50;
// The longest line other than a comment.
inline constexpr size_t kMaxLineBytes = size_t{2} << 20;

// What a text run and the JSON run share.
class TImpRootBase {
 public:
  virtual ~TImpRootBase() = default;
  TImpRootBase(const TImpRootBase&) = delete;
  TImpRootBase& operator=(const TImpRootBase&) = delete;

  virtual void Step() = 0;
  virtual bool NotFinished() const = 0;
  virtual int ResultCode() const = 0;
  virtual std::string StateText(std::string_view caller) const = 0;
  // Writes a message of the run; memoryOnly keeps it from the log file (it stays among the recent
  // lines until the next line that reaches the file).
  virtual void Output(std::string_view message, bool memoryOnly) = 0;
  virtual void AfterRun() {}

  // Lines read in the current (or last) pass.
  int lnn() const { return lnn_; }
  // Written by neither run; reads empty.
  const std::string& ResultText() const { return resultText_; }

 protected:
  TImpRootBase() = default;
  int lnn_ = 0;
  std::string resultText_;
};

class tImpRoot;
class TImpMain;
struct TDirective;

// What a directive family keeps for one run (the bulletins its lines asked for, the holders it
// added), made on first use and told when passes start and end.
class TRunState {
 public:
  virtual ~TRunState() = default;
  virtual void StartPass(tImpRoot&) {}
  // At the end of the check pass; a code stops the run before anything is written.
  virtual int EndOfCheckPass(tImpRoot&) { return 0; }
  // At the end of the last pass, while no fatal error is set; a code becomes the run's.
  virtual int EndOfRun(tImpRoot&) { return 0; }
};

class tImpRoot : public TImpRootBase {
 public:
  // The lines come from text when its trimmed form is not empty, else from the file, named by the
  // system's bytes and read in the encoding given; a file that cannot be read sets the fatal error
  // 4388, one that its encoding refuses fails the check at the line where that shows.
  tImpRoot(std::string fileName, bool CIorCO, bool fileNamePrefix, std::string_view text,
           TImportEncoding encoding = TImportEncoding::Unchosen);
  // Logs the state text ("end").
  ~tImpRoot() override;

  bool NotFinished() const override { return !Acabou_ && Erro_ == 0; }
  int ResultCode() const override;
  std::string StateText(std::string_view caller) const override;

  virtual bool IsSkipLine(std::string_view line, bool keepBlank) const;
  // "[" + class name + " \"" + file name + "\"]"
  virtual std::string RunName() const;
  virtual void EndOfRun();
  // The next significant line, tokenised; empty when there is none (the pass, or the run, ended).
  // At the end of the check pass of a check-and-import run it goes on with the import pass.
  virtual std::string_view NextLine(bool keepBlank);

  // The next significant line of a block that a directive owns, tokenised; false at the end of the
  // file, where a block never crosses into the next pass.
  bool NextBlockLine(bool keepBlank);
  // Passes over the lines of a failed block up to and including the next whose first token,
  // upper-cased, is END (or the end of the file), so that no item line is run as a directive.
  void SkipBlock();

  // A message of the run: counted, kept as first and last, written with the line number.
  void ErrorMessage(std::string_view message, bool memoryOnly = false);
  // Counts a failed line of the import pass; the 51st stops the run with 3948.
  void NonFatalError(int code);
  // Sets the fatal error, unless one is set already.
  void SetErro(int code);

  // Keeps the lines that fail for a reject file (rejects.h), written by AfterRun.
  void SetRejectsFile(std::string path);
  void AfterRun() override;

  bool ToNoCheck() const { return ToNoCheck_; }
  bool CIorCO() const { return CIorCO_; }
  // A dry run: its caller runs it in a transaction that it rolls back (db::StartDryRun), so nothing
  // that outlasts the database's own rollback (bulletins and their requests) may come of it.
  void SetDryRun(bool on) { dryRun_ = on; }
  bool DryRun() const { return dryRun_; }
  bool FileNamePrefix() const { return fileNamePrefix_; }
  int Erro() const { return Erro_; }
  int ErroNaoFatal() const { return ErroNaoFatal_; }
  int ErroNaoFatalCount() const { return ErroNaoFatalCount_; }
  // Lines of the import pass that are not in the database although they ran: the failed ones and
  // those of a lost commit group.
  int FailedLineCount() const { return ErroNaoFatalCount_ + lostLineCount_; }
  bool Acabou() const { return Acabou_; }
  int ErrMsgCount() const { return ErrMsgCount_; }
  const std::string& FirstErrMsg() const { return FirstErrMsg_; }
  const std::string& LastErrMsg() const { return LastErrMsg_; }
  const std::string& FileName() const { return fileName_; }
  std::string_view LastLine() const { return lastLine_; }
  int LineCount() const { return static_cast<int>(lines_.Count()); }

  tParserWrapper& Tokens() { return tokens_; }
  TListaDeEmpAdded& EmpAdded() { return empAdded_; }
  TListaDeClassAdded& ClassAdded() { return classAdded_; }
  TListaDeSerieAdded& SerieAdded() { return serieAdded_; }

  // The run's state of a directive family, made on first use.
  template <typename T>
  T& State() {
    const std::type_index type(typeid(T));
    for (auto& [key, state] : states_) {
      if (key == type) return static_cast<T&>(*state);
    }
    return static_cast<T&>(*states_.emplace_back(type, std::make_unique<T>()).second);
  }

 protected:
  virtual const char* ClassName() const = 0;
  // Runs the states' end of run; the first code becomes the fatal error.
  void EndOfRunStates();
  // Tells the reject file how the line (and its block) from line index `first` went.
  void NoteStep(size_t first, int code);
  // The lines from line index `first` on are not written, `ran` of them lines that had run: the
  // message says why, and they are rejects.
  void LinesNotWritten(size_t first, int ran, std::string_view message);

 private:
  void StartPass();
  // The next significant line of the pass; false at its end.
  bool ReadSignificantLine(bool keepBlank);
  void EndOfPass();
  // Counts the message, keeps it as first and last and writes it with the line number.
  void WriteErrorMessage(std::string_view message, bool memoryOnly);

  std::string fileName_;
  bool CIorCO_;
  bool fileNamePrefix_;
  bool dryRun_ = false;
  TTextLines lines_;
  bool passStarted_ = false;
  bool ToNoCheck_ = true;
  int Erro_ = 0;
  int ErroNaoFatal_ = 0;
  int ErroNaoFatalCount_ = 0;
  int lostLineCount_ = 0;
  bool Acabou_ = false;
  int ErrMsgCount_ = 0;
  std::string FirstErrMsg_;
  std::string LastErrMsg_;
  std::string_view lastLine_;
  TListaDeEmpAdded empAdded_;
  TListaDeClassAdded classAdded_;
  TListaDeSerieAdded serieAdded_;
  tParserWrapper tokens_;
  std::unique_ptr<TRejects> rejects_;
  // In the order they were made, which is the order they are told of passes.
  std::vector<std::pair<std::type_index, std::unique_ptr<TRunState>>> states_;
};

// The run of text directives: each Step handles one significant line through the directive table.
class TImpMain : public tImpRoot {
 public:
  using tImpRoot::tImpRoot;
  // Commits the lines a run leaves behind it: without groups they would have been committed.
  ~TImpMain() override;

  void Step() override;
  void EndOfRun() override;

  // On a database that can, the import pass commits its lines in groups (each line in a level of
  // its own, kept whole or undone alone). A family that needs what its earlier lines wrote to be
  // committed (seen by another connection) asks for it here; 0 or the code of a lost group.
  int CommitLines();

  // Company keys of the company-code form are found through the company-by-code cache.
  bool CachedCompanyLookup() const { return cachedCompanyLookup_; }
  void SetCachedCompanyLookup(bool on) { cachedCompanyLookup_ = on; }
  // A file of the batch portfolio import: the portfolio and shareholder directives read it.
  bool Portfolio() const { return portfolio_; }
  void SetPortfolio(bool on) { portfolio_ = on; }

 private:
  int Dispatch(std::string_view keyword);
  // A line of the import pass in its group; false when the line runs ungrouped.
  bool StartGroupedLine();
  void EndGroupedLine(bool keep);
  // Commits the group and stops grouping.
  void StopGroups();
  // After a group's commit returned committed, or its loss returned code.
  void AfterGroupCall(bool committed, int code);

  bool cachedCompanyLookup_ = false;
  bool portfolio_ = false;
  bool groupsAsked_ = false;
  int lastGroupedLine_ = 0;
  int lastCommittedLine_ = 0;
  // Lines kept in the open group: lost with it when it is lost.
  int linesInGroup_ = 0;
  // The line in hand runs outside any group: its group could not begin.
  bool ungroupedLine_ = false;
  const TDirective* lastDirective_ = nullptr;
};

}  // namespace zi
