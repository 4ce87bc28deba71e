#pragma once
// The logic of the import window: a file name, an action, Okay and Cancel, and a log pane. A check
// runs as a text run driven one line per idle tick, so that the window stays usable; the remote
// imports hand the file to the remote import. The Qt window is a view over this class.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/json_import.h"
#include "import/run.h"
#include "toolbox/codec.h"

namespace zi {

inline constexpr int kFileNameEmpty = 4068;
inline constexpr int kInvalidAction = 4069;
inline constexpr int kJsonNotInThisWindow = 25303;

class tImpForm;

namespace impform {

// The window's text run: its messages go to the log and to the window's log pane.
class tMyImpMain : public TImpMain {
 public:
  tMyImpMain(tImpForm& form, std::string fileName, bool CIorCO, TImportEncoding encoding);
  void Output(std::string_view message, bool memoryOnly) override;

 protected:
  const char* ClassName() const override { return "tMyImpMain"; }

 private:
  tImpForm& form_;
};

}  // namespace impform

class tImpForm {
 public:
  static constexpr std::array<std::string_view, 6> kActions = {
      "Check & Import", "Check Only", "Remote import", "Remote import & Gen BGL", "Remote import during the night",
      "Dry Run"};
  static constexpr int kNoAction = -1;
  static constexpr int kCheckOnlyAction = 1;
  // Checks and imports in one transaction that is rolled back at the end, the window's run included
  // (cancelling it rolls back too), then says what the import would have changed.
  static constexpr int kDryRunAction = 5;
  // The choices of the encoding list, the "encoding" switch's names after the first: the first
  // reads Windows-1252 and refuses a file that looks like UTF-8.
  static constexpr std::array<std::pair<std::string_view, TImportEncoding>, 3> kEncodings = {{
      {"not named (a file that looks like UTF-8 is refused)", TImportEncoding::Unchosen},
      {"utf-8", TImportEncoding::Utf8},
      {"windows-1252", TImportEncoding::Windows1252},
  }};

  // Offers a file to the JSON import (TryJsonImport unless a test says otherwise): 25308 when it is
  // not a JSON array, else the JSON run's code; run is set when a JSON run was made.
  using TTryJsonImport = std::function<int(const std::string& file, std::unique_ptr<TImpRootBase>& run)>;
  // Hands a file to the remote import in a mode (5, 3 or 7) with the encoding its import reads it
  // in, its messages to the pane; 0 or a code.
  using TRemoteImport = std::function<int(const std::string& file, int mode, TImportEncoding encoding,
                                          const std::function<void(std::string_view)>& output)>;

  tImpForm();
  // A window closed during a dry run rolls it back.
  ~tImpForm();
  tImpForm(const tImpForm&) = delete;
  tImpForm& operator=(const tImpForm&) = delete;

  void SetTryJsonImport(TTryJsonImport hook) { tryJson_ = std::move(hook); }
  void SetRemoteImport(TRemoteImport hook) { remote_ = std::move(hook); }

  // The file name as the system's bytes.
  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  const std::string& FileName() const { return fileName_; }
  void SetAction(int index) { action_ = index; }
  int Action() const { return action_; }
  // The encoding a text file is read in, by its place in kEncodings; kept from run to run.
  void SetEncoding(int index);
  int EncodingIndex() const { return encodingIndex_; }
  TImportEncoding Encoding() const { return kEncodings[static_cast<size_t>(encodingIndex_)].second; }

  bool RunActive() const { return run_ != nullptr; }
  // The file field, the action and encoding lists and Okay are enabled while no run is active;
  // Cancel while one is.
  bool InputsEnabled() const { return !RunActive(); }
  bool CancelEnabled() const { return RunActive(); }

  void Okay();
  void Cancel();
  // One idle tick: one Step of the active run; false when there is nothing more to do.
  bool Idle();

  const std::vector<std::string>& LogPane() const { return pane_; }
  void AppendToPane(std::string_view line) { pane_.emplace_back(line); }

 private:
  int StartCheck(int action);
  // Ends the run; a dry run's transaction is rolled back and what it would have changed shown.
  void StopRun();

  std::string fileName_;
  int action_ = 0;
  int encodingIndex_ = 0;
  std::vector<std::string> pane_;
  std::unique_ptr<impform::tMyImpMain> run_;
  bool dryRunOpen_ = false;
  TTryJsonImport tryJson_;
  TRemoteImport remote_;
};

}  // namespace zi
