#include "import/imp_form.h"

#include <fmt/format.h>

#include "catalogue/caches.h"
#include "db/connection.h"
#include "db/sql_errors.h"
#include "import/dry_run.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

// The modes of the remote import, by action.
int RemoteMode(int action) {
  switch (action) {
    case 2: return 5;
    case 3: return 3;
    case 4: return 7;
    default: return 0;
  }
}

}  // namespace

namespace impform {

tMyImpMain::tMyImpMain(tImpForm& form, std::string fileName, bool CIorCO, TImportEncoding encoding)
    : TImpMain(std::move(fileName), CIorCO, false, {}, encoding), form_(form) {}

void tMyImpMain::Output(std::string_view message, bool memoryOnly) {
  if (memoryOnly) KeepLogInMemory(message, {}, {}, false, 0);
  else Loga(message);
  form_.AppendToPane(message);
}

}  // namespace impform

tImpForm::tImpForm()
    : tryJson_([](const std::string& file, std::unique_ptr<TImpRootBase>& run) {
        std::unique_ptr<TImpJSON> json;
        const int code = TryJsonImport(file, false, _ParamCmdTxt{}, json);
        run = std::move(json);
        return code;
      }),
      remote_([](const std::string&, int, TImportEncoding, const std::function<void(std::string_view)>&) {
        return kRemoteImportNotAvailable;
      }) {}

tImpForm::~tImpForm() {
  if (dryRunOpen_) StopRun();
}

int tImpForm::StartCheck(int action) {
  std::unique_ptr<TImpRootBase> jsonRun;
  int code = tryJson_(fileName_, jsonRun);
  if (jsonRun || code != kNotJsonArray) {
    if (jsonRun) code = kJsonNotInThisWindow;
    AppendToPane(fmt::format("Error:{} Importar \"{}\" no formato JSON n\xE3o suportada nesta janela. Use: "
                             "\"zorinput.exe /Import=<nome do arquivo json>\"",
                             code, PathText(fileName_)));
    return code;
  }
  pane_.clear();
  const bool dryRun = action == kDryRunAction;
  if (dryRun) {
    if (const int begun = db::ZiDb().StartDryRun()) return begun;
    dryRunOpen_ = true;
  }
  run_ = std::make_unique<impform::tMyImpMain>(*this, fileName_, action != kCheckOnlyAction, Encoding());
  run_->SetDryRun(dryRun);
  return 0;
}

void tImpForm::SetEncoding(int index) {
  if (index >= 0 && index < static_cast<int>(kEncodings.size())) encodingIndex_ = index;
}

void tImpForm::Okay() {
  if (RunActive()) return;
  int code = 0;
  if (Trim(fileName_).empty()) {
    code = kFileNameEmpty;
  } else if (action_ < 0 || action_ >= static_cast<int>(kActions.size())) {
    code = kInvalidAction;
  } else if (const int mode = RemoteMode(action_); mode != 0) {
    code = remote_(fileName_, mode, Encoding(), [this](std::string_view line) { AppendToPane(line); });
    if (code == 0) action_ = kNoAction;
  } else {
    code = StartCheck(action_);
  }
  if (code != 0) {
    run_.reset();
    ShowErrorBox("Import", "Import failed : " + db::SqlErrorText(code));
  }
}

bool tImpForm::Idle() {
  if (!run_) return false;
  if (run_->NotFinished()) {
    run_->Step();
    return true;
  }
  const int code = run_->ResultCode();
  run_->Output(code != 0 ? "end import error:" + std::to_string(code) : std::string("end import ok"), false);
  // A dry run's transaction is not left open behind the box.
  StopRun();
  if (code != 0) db::ShowSqlErrorTxt("Import", code);
  return false;
}

void tImpForm::Cancel() {
  if (RunActive()) StopRun();
}

void tImpForm::StopRun() {
  run_.reset();
  if (dryRunOpen_) {
    dryRunOpen_ = false;
    const db::TAdoDataBaseCustomizado::TDryRunChanges changes = db::ZiDb().EndDryRun();
    // What the caches learned inside the transaction went with it.
    DropObjectCaches();
    for (const std::string& line : DryRunLines(changes)) {
      Loga(line);
      AppendToPane(line);
    }
  }
  action_ = kNoAction;
}

}  // namespace zi
