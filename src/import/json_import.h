#pragma once
// The JSON import: a file that is one JSON array of records, one record imported by each Step. A
// record either carries directive text ("cmdtxt"), which a text run executes, or names a record type
// and an action, handled by the family that registered the type. Every message about a record is
// attached to it as "log" and "error" entries, and the file is written back at the end, so that it
// documents its own outcome and can be imported again. Errors never stop a JSON run.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/printf.h>

#include "import/json_document.h"
#include "import/run.h"

namespace zi {

inline constexpr int kJsonElementNotObject = 25304;
inline constexpr int kJsonUnknownAction = 25305;
inline constexpr int kJsonUnknownType = 25306;
inline constexpr int kNotJsonArray = 25308;
inline constexpr int kJsonFileMissing = 25309;
inline constexpr int kJsonFieldMissing = 25310;
inline constexpr int kJsonFieldOfAnotherType = 25311;
inline constexpr int kJsonIntegerMissing = 25312;
inline constexpr int kJsonIntegerOfAnotherType = 25313;
inline constexpr int kJsonRecordWithErrors = 33083;

// What the caller gives the text runs of "cmdtxt" records.
struct _ParamCmdTxt {
  bool CIorCO = true;        // check, then import
  bool prefix = false;       // the file name in front of their messages
  bool cachedLookup = false;  // company keys through the company cache
};

// What a record asks to be done with it.
enum _ActionDB { _adb_upsert = 1, _adb_insert = 2, _adb_update = 3 };

// The log and error entries of the record being imported.
class TRegistraInconsistencia {
 public:
  // timestamp: the run's start in UTC, "yyyy-mm-ddThh:nn:ss.zzzZ", the same in every entry.
  explicit TRegistraInconsistencia(std::string timestamp);

  void AddError(int code, std::string_view message, const std::string* itemId = nullptr,
                const std::string* path = nullptr);
  // A code of 0 is not written.
  void AddLog(std::string_view message, int code);
  // Appends the entries to the record's "log" and "error" arrays (made when missing), then empties
  // the register.
  void AttachTo(TJsonObject& record);
  void Clear();
  // The entries not yet attached, as text: "log" or "error", the code when there is one, the message.
  const std::vector<std::string>& PendingTexts() const { return texts_; }

  int LogCount() const { return static_cast<int>(log_.size()); }
  int ErrorCount() const { return static_cast<int>(errors_.size()); }
  // Every error entry of the run, emptied registers included: how many, the first and the last.
  int ErrorsAdded() const { return errorsAdded_; }
  const std::string& FirstError() const { return firstError_; }
  const std::string& LastError() const { return lastError_; }

 private:
  using TEntries = std::vector<std::unique_ptr<TJsonObject>>;
  static void Attach(TJsonObject& record, std::string_view name, TEntries& entries);

  std::string timestamp_;
  TEntries log_;
  TEntries errors_;
  std::vector<std::string> texts_;
  int errorsAdded_ = 0;
  std::string firstError_;
  std::string lastError_;
};

class TImpJSON;

// A record type's handler: the caller label ("ImportaJsonObject Index:N"), the run, the record and
// the action.
using TJsonRecordHandler =
    std::function<void(const std::string& caller, TImpJSON& run, TJsonObject& record, _ActionDB action)>;
// Plugs in the handler of one of the record types ("imovel", "imoveladddoc", "portfolio",
// "ptfassettvm", "ptfassettvmadddoc"); an empty handler takes it out. Another type is a programming
// error (std::logic_error). A type without a handler is answered as an unknown type.
void SetJsonRecordHandler(std::string_view type, TJsonRecordHandler handler);

class TImpJSON : public TImpRootBase {
 public:
  TImpJSON(std::unique_ptr<TJsonArray> document, const _ParamCmdTxt& params);
  // Writes "end".
  ~TImpJSON() override;

  void Step() override;
  bool NotFinished() const override { return index_ < document_->Count(); }
  int ResultCode() const override { return critical_ != 0 ? critical_ : nonCritical_; }
  std::string StateText(std::string_view caller) const override;
  void Output(std::string_view message, bool memoryOnly) override;
  // Writes the document back over the file, annotations and all: a file that cannot be written back
  // is logged and becomes the run's critical error (99304), and the original stays as it was.
  void AfterRun() override;

  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  // The file as it was read: AfterRun leaves a file that is no longer that one as it is.
  void SetFileIdentity(const TFileIdentity& identity) { identity_ = identity; }
  // Keeps the records that fail, as they came (without the annotations of earlier imports), and
  // writes them as one array to this file after the run; a run without failures writes none.
  void SetRejectsFile(std::string path) { rejectsFile_ = std::move(path); }
  // A dry run: its caller rolls its writes back (db::StartDryRun), so the file is not written back
  // (the entries it would have got are kept instead) and its "cmdtxt" runs are dry runs too.
  void SetDryRun(bool on) { dryRun_ = on; }
  // A dry run's entries, each as "record " + its index + " " + the entry's text.
  const std::vector<std::string>& WouldBeEntries() const { return wouldBeEntries_; }
  const std::string& FileName() const { return fileName_; }
  int ElementIndex() const { return index_; }
  // Records with an error: an error entry, or a critical or non-critical error.
  int FailedRecordCount() const { return failedRecords_; }
  TRegistraInconsistencia& Register() { return register_; }
  // Portfolio assets added and modified by the run.
  int& PtfAssetAdds() { return ptfAssetAdds_; }
  int& PtfAssetMods() { return ptfAssetMods_; }

  // A member of the record of that type; unless silent, a missing member or one of another type is
  // a non-critical error (25310/25311, for integers 25312/25313). Integers are truncated toward zero.
  bool GetTextField(TJsonObject& record, std::string_view name, bool silent, std::string& value);
  bool GetBooleanField(TJsonObject& record, std::string_view name, bool silent, bool& value);
  bool GetIntegerField(TJsonObject& record, std::string_view name, bool silent, int32_t& value);

  // printf-style messages, written as "Error:" + code + " " (critical) or "(NC) " (non-critical).
  template <typename... Args>
  void CriticalError(int code, std::string_view format, const Args&... args) {
    critical_ = code;
    WriteError(code, "", format, Formatted(format, args...));
  }
  template <typename... Args>
  void NonCriticalError(int code, std::string_view format, const Args&... args) {
    nonCritical_ = code;
    WriteError(code, "(NC)", format, Formatted(format, args...));
  }

 private:
  template <typename... Args>
  static std::optional<std::string> Formatted(std::string_view format, const Args&... args) {
    try {
      return fmt::sprintf(format, args...);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  void WriteError(int code, std::string_view mark, std::string_view format, const std::optional<std::string>& text);
  void ImportRecord(TJsonObject& record);
  static std::string RecordAsFixable(TJsonObject& record);
  // The non-critical error of a member that is missing or of another type than the one asked for.
  void FieldProblem(const std::optional<TJsonAttribute>& member, std::string_view name, int missing,
                    int ofAnotherType);
  void RunCommandText(const std::string& text);
  bool ErrorsAccepted() const;
  // On a database that can, records commit in groups as the lines of a text run's import pass do,
  // each record's work kept as it ran; false when the record runs outside any group.
  bool StartGroupedRecord();
  void EndGroupedRecord();
  // Commits the open group and stops grouping (before a text run of its own, and at the end).
  void CommitRecords();
  // A group that could not be committed loses the records written in it: each gets an error entry
  // and is a failed record, and the run gets the code as its critical error.
  void AfterGroupCall(int code);

  _ParamCmdTxt params_;
  std::unique_ptr<TJsonArray> document_;
  int index_ = 0;
  int critical_ = 0;
  int nonCritical_ = 0;
  std::string fileName_;
  std::optional<TFileIdentity> identity_;
  std::string runStart_;
  TRegistraInconsistencia register_;
  int ptfAssetAdds_ = 0;
  int ptfAssetMods_ = 0;
  int errorCount_ = 0;
  int failedRecords_ = 0;
  std::string rejectsFile_;
  std::vector<std::string> rejects_;
  bool dryRun_ = false;
  std::vector<std::string> wouldBeEntries_;
  // The records whose work is in the open group, and whether each is counted failed already.
  std::vector<std::pair<int, bool>> recordsInGroup_;
};

// Offers a file to the JSON import. 25309: the file does not exist; 25308: it holds no JSON array
// (the caller may run it as a text file); 99305: it has several hard links, and 99306: it or its
// folder may not be written, either of which would leave its records imported without their log;
// 0 with the run over the array. With verbose each says so on the console.
int TryJsonImport(const std::string& file, bool verbose, const _ParamCmdTxt& params, std::unique_ptr<TImpJSON>& run);

// A JSON run's state text for its caller, with its critical and non-critical codes.
std::string JsonStateText(std::string_view caller, int critical, int nonCritical);

// The text run of a "cmdtxt" record; its messages go to the log. The text was decoded from the
// JSON file's UTF-8 once: it is program text.
class TImpMainCmdTxt : public TImpMain {
 public:
  using TImpMain::TImpMain;
  void Output(std::string_view message, bool memoryOnly) override;

 protected:
  const char* ClassName() const override { return "TImpMainCmdTxt"; }
};

}  // namespace zi
