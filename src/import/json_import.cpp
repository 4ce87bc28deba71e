#include "import/json_import.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "import/regular_file.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"
#include "toolbox/version.h"

namespace zi {

namespace {

constexpr std::array<std::string_view, 5> kRecordTypes = {"imovel", "imoveladddoc", "portfolio", "ptfassettvm",
                                                          "ptfassettvmadddoc"};

constexpr std::pair<std::string_view, _ActionDB> kActions[] = {
    {"insertorupdate", _adb_upsert}, {"insertonly", _adb_insert}, {"updateonly", _adb_update}};

std::array<TJsonRecordHandler, kRecordTypes.size()>& Handlers() {
  static std::array<TJsonRecordHandler, kRecordTypes.size()> handlers;
  return handlers;
}

// The row of a record type; kRecordTypes.size() for another text.
size_t TypeRow(std::string_view type) {
  size_t row = 0;
  while (row < kRecordTypes.size() && kRecordTypes[row] != type) ++row;
  return row;
}

std::string RunStart() {
  const platform::LocalTime t = platform::NowUtc();
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", t.year, t.month, t.day, t.hour, t.minute, t.second,
                     t.millisecond);
}

// The whole file when the first byte after the leading white space (as JSON counts it) opens an
// array, the only document the import takes: a file of text lines is told apart without reading it
// whole. A file that cannot be read opens none.
std::optional<std::string> ArrayFileText(const std::string& path, TFileIdentity& identity) {
  try {
    TRegularFile file(path);
    std::string text;
    char block[4096];
    while (const size_t n = file.Read(block, sizeof block)) {
      const std::string_view read(block, n);
      const size_t first = read.find_first_not_of(" \t\r\n");
      if (first == std::string_view::npos) continue;
      if (read[first] != '[') return std::nullopt;
      text.reserve(file.Size() + kJsonTextSpare);
      text.append(read);
      break;
    }
    if (text.empty()) return std::nullopt;
    while (const size_t n = file.Read(block, sizeof block)) text.append(block, n);
    identity = file.Identity();
    return text;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// Why the file's rewrite with the import's log could not be written, found before anything is
// imported: records imported without their log would be imported again by the next run.
int RewriteRefusal(const std::string& file, const TFileIdentity& identity, std::string& reason) {
  if (identity.links > 1) {
    reason = fmt::format("has {} hard links: writing the import's log back into it would split them", identity.links);
    return kJsonFileHardLinked;
  }
  std::string target;
  try {
    target = RewriteTarget(file);
  } catch (const std::exception& e) {
    reason = "cannot be written back: " + std::string(e.what());
    return kJsonFileNotRewritable;
  }
  const std::string folder = FolderOf(target);
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    reason = "cannot be written back: " + std::generic_category().message(errno);
  } else if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    reason = "cannot be written back: its folder " + PathText(folder) + ": " + std::generic_category().message(errno);
  } else {
    return 0;
  }
  return kJsonFileNotRewritable;
}

}  // namespace

void SetJsonRecordHandler(std::string_view type, TJsonRecordHandler handler) {
  const size_t row = TypeRow(type);
  if (row == kRecordTypes.size()) throw std::logic_error("no JSON record type " + std::string(type));
  Handlers()[row] = std::move(handler);
}

// TRegistraInconsistencia.

TRegistraInconsistencia::TRegistraInconsistencia(std::string timestamp) : timestamp_(std::move(timestamp)) {}

void TRegistraInconsistencia::AddError(int code, std::string_view message, const std::string* itemId,
                                       const std::string* path) {
  auto entry = TJsonObject::CreateEmpty(true);
  entry->AddString("timestamp", timestamp_);
  entry->AddNumber("errorcode", code);
  if (itemId) entry->AddString("itemid", *itemId);
  if (path) entry->AddString("path", *path);
  // A message may quote a member or a line of any length.
  const std::string shown = CutText(message, kMessageLimit);
  entry->AddString("message", shown);
  errors_.push_back(std::move(entry));
  ++errorsAdded_;
  if (firstError_.empty()) firstError_ = shown;
  lastError_ = shown;
  LogaFormat("Error %d - \"%s\"", code, shown);
}

void TRegistraInconsistencia::AddLog(std::string_view message, int code) {
  auto entry = TJsonObject::CreateEmpty(true);
  entry->AddString("timestamp", timestamp_);
  if (code != 0) entry->AddNumber("errorcode", code);
  entry->AddString("message", std::string(message));
  log_.push_back(std::move(entry));
  LogaFormat("Log %d - \"%s\"", code, message);
}

// An array already under the name keeps the entries of earlier imports; the new ones follow.
void TRegistraInconsistencia::Attach(TJsonObject& record, std::string_view name, TEntries& entries) {
  TJsonArray* existing = nullptr;
  if (record.TryGetArray(name, existing)) {
    for (auto& entry : entries) existing->AddObject(std::move(entry));
  } else if (!entries.empty()) {
    auto array = TJsonArray::CreateEmpty(true);
    for (auto& entry : entries) array->AddObject(std::move(entry));
    record.AddArray(name, std::move(array));
  }
  entries.clear();
}

void TRegistraInconsistencia::AttachTo(TJsonObject& record) {
  Attach(record, "log", log_);
  Attach(record, "error", errors_);
}

void TRegistraInconsistencia::Clear() {
  log_.clear();
  errors_.clear();
}

// TImpJSON.

TImpJSON::TImpJSON(std::unique_ptr<TJsonArray> document, const _ParamCmdTxt& params)
    : params_(params), document_(std::move(document)), register_(RunStart()) {
  Output("begin", false);
}

TImpJSON::~TImpJSON() { Output("end", false); }

std::string JsonStateText(std::string_view caller, int critical, int nonCritical) {
  return fmt::format("ImpJSON.DiagSt Caller:{} ErroCritico:{}, ErroNaoCritico:{}", caller, critical, nonCritical);
}

std::string TImpJSON::StateText(std::string_view caller) const { return JsonStateText(caller, critical_, nonCritical_); }

void TImpJSON::Output(std::string_view message, bool memoryOnly) { LogaConsole(message, memoryOnly); }

void TImpJSON::WriteError(int code, std::string_view mark, std::string_view format,
                          const std::optional<std::string>& text) {
  ++errorCount_;
  const std::string head = "Error:" + std::to_string(code) + std::string(mark) + " ";
  Output(text ? head + CutText(*text, kMessageLimit) : head + "log falhou " + std::string(format), false);
}

// A record as a user fixes it: the log and error entries of earlier imports would make its next
// import refuse it.
std::string TImpJSON::RecordAsFixable(TJsonObject& record) {
  if (!record.Find("log") && !record.Find("error")) return record.AsText();
  auto copy = TAbstractJson::CreateFromString(record.AsText());
  copy->AsObject().Delete("log");
  copy->AsObject().Delete("error");
  return copy->AsText();
}

void TImpJSON::Step() {
  register_.AddLog(std::string("Importa\xE7\xE3o iniciada vers\xE3o zorinput: ") + kVersionText, 0);
  const TJsonAttribute element = document_->Item(index_);
  TJsonObject* record = element.IsObject() ? &element.AsObject() : nullptr;
  const int errorsBefore = errorCount_;
  if (record) {
    ImportRecord(*record);
    // An error entry marks the record as failed in its file, whether or not it changed a code. The
    // import reads the record without changing it, and this run's entries are not attached yet.
    if (errorCount_ != errorsBefore || register_.ErrorCount() > 0) {
      ++failedRecords_;
      if (!rejectsFile_.empty()) rejects_.push_back(RecordAsFixable(*record));
    }
  } else {
    const std::string text = fmt::format("Index:{}, AttributeType:{} ", index_, static_cast<int>(element.AttributeType()));
    NonCriticalError(kJsonElementNotObject, "%s", text);
    register_.AddError(kJsonElementNotObject, text);
  }
  register_.AddLog("Importa\xE7\xE3o Encerrada", 0);
  if (record) register_.AttachTo(*record);
  else register_.Clear();
  ++index_;
}

// Records annotated with errors by an earlier import wait until someone looks at them, unless the
// file lies in a folder named retr or the switch says errors are accepted.
bool TImpJSON::ErrorsAccepted() const {
  const std::string name = LowerAscii(fileName_);
  return name.find("\\retr\\") != std::string::npos || name.find("/retr/") != std::string::npos ||
         TemParam("AceitaImportarComErro");
}

void TImpJSON::ImportRecord(TJsonObject& record) {
  TJsonArray* errors = nullptr;
  if (record.TryGetArray("error", errors) && errors->Count() > 0 && !ErrorsAccepted()) {
    CriticalError(kJsonRecordWithErrors, "Index:%d", index_);
    register_.AddError(kJsonRecordWithErrors, "Existem tags ERRO preenchidas no JSon");
    return;
  }
  // Directive text that does not decode (a character Windows-1252 cannot hold) is refused as a text
  // file's line would be, rather than taken for a record without text.
  if (const std::optional<TJsonAttribute> command = record.Find("cmdtxt"); command && command->IsInvalidValue()) {
    const std::string reason = "cmdtxt: " + command->InvalidReason();
    CriticalError(kImportLineNotText, "Index:%d %s", index_, reason);
    register_.AddError(kImportLineNotText, reason);
    return;
  }
  std::string text;
  if (GetTextField(record, "cmdtxt", true, text)) {
    RunCommandText(text);
    return;
  }
  std::string action;
  if (!GetTextField(record, "action", false, action)) return;
  const auto* known = std::find_if(std::begin(kActions), std::end(kActions),
                                   [&](const auto& a) { return a.first == action; });
  if (known == std::end(kActions)) {
    NonCriticalError(kJsonUnknownAction, "Index:%d Tipo:%s", index_, action);
    return;
  }
  std::string type;
  if (!GetTextField(record, "type", false, type)) return;
  const size_t row = TypeRow(type);
  if (row == kRecordTypes.size() || !Handlers()[row]) {
    NonCriticalError(kJsonUnknownType, "Index:%d Tipo:%s", index_, type);
    return;
  }
  Handlers()[row](fmt::format("ImportaJsonObject Index:{}", index_), *this, record, known->second);
}

void TImpJSON::RunCommandText(const std::string& text) {
  TImpMainCmdTxt run(fileName_, params_.CIorCO, params_.prefix, text);
  run.SetCachedCompanyLookup(params_.cachedLookup);
  while (run.NotFinished()) run.Step();
  register_.AddLog(run.StateText("impcmdtxt"), 0);
  if (run.ResultCode() == 0) return;
  if (run.Erro() != 0) CriticalError(run.Erro(), "transferindo erro do cmdtxt para o main");
  if (run.ErroNaoFatal() != 0) {
    if (TemParam("ErroNaoCriticoTratarComoErro")) {
      NonCriticalError(run.ErroNaoFatal(), "transferindo erronaocritico do cmdtxt para o main");
    } else {
      register_.AddLog(std::to_string(run.ErroNaoFatal()) + " n\xE3o \xE9 considerado como erro", 0);
    }
  }
  register_.AddError(run.ResultCode(), fmt::sprintf("Erro durante cmdtxt item:%d line:%d \\\"%s\\\"", index_, run.lnn(),
                                                    CutText(run.LastLine(), kQuotedLineLimit)));
}

void TImpJSON::FieldProblem(const std::optional<TJsonAttribute>& member, std::string_view name, int missing,
                            int ofAnotherType) {
  if (!member) NonCriticalError(missing, "Index:%d name:\"%s\" exist:%d", index_, name, 0);
  else {
    NonCriticalError(ofAnotherType, "Index:%d name:\"%s\" type:%d", index_, name,
                     static_cast<int>(member->AttributeType()));
  }
}

bool TImpJSON::GetTextField(TJsonObject& record, std::string_view name, bool silent, std::string& value) {
  const std::optional<TJsonAttribute> member = record.Find(name);
  if (member && member->IsString()) {
    value = member->AsString();
    return true;
  }
  if (!silent) FieldProblem(member, name, kJsonFieldMissing, kJsonFieldOfAnotherType);
  return false;
}

bool TImpJSON::GetBooleanField(TJsonObject& record, std::string_view name, bool silent, bool& value) {
  const std::optional<TJsonAttribute> member = record.Find(name);
  if (member && member->IsBoolean()) {
    value = member->AsBoolean();
    return true;
  }
  if (!silent) FieldProblem(member, name, kJsonFieldMissing, kJsonFieldOfAnotherType);
  return false;
}

bool TImpJSON::GetIntegerField(TJsonObject& record, std::string_view name, bool silent, int32_t& value) {
  const std::optional<TJsonAttribute> member = record.Find(name);
  if (member && member->IsNumber() && std::fabs(member->AsNumber()) < 2147483648.0L) {
    value = static_cast<int32_t>(member->AsNumber());
    return true;
  }
  if (!silent) FieldProblem(member, name, kJsonIntegerMissing, kJsonIntegerOfAnotherType);
  return false;
}

void TImpJSON::AfterRun() {
  try {
    document_->SaveToFile(fileName_, identity_ ? &*identity_ : nullptr);
  } catch (const std::exception& e) {
    ReportException("[TImpJSON.AfterRun " + PathText(fileName_) + "]", e);
    CriticalError(kJsonFileNotWrittenBack, "%s", e.what());
  }
  if (rejects_.empty()) return;
  // Each record is the text of a valid object already: they are written as they are, one a line.
  std::string text = "[\n";
  for (size_t i = 0; i < rejects_.size(); ++i) text += rejects_[i] + (i + 1 < rejects_.size() ? ",\n" : "\n");
  text += "]\n";
  const int error = WriteWholeFile(rejectsFile_, text);
  if (error == 0) return;
  Output("Rejects file " + PathText(rejectsFile_) + " not written erro:" + std::to_string(error), false);
}

int TryJsonImport(const std::string& file, bool verbose, const _ParamCmdTxt& params, std::unique_ptr<TImpJSON>& run) {
  run.reset();
  if (std::error_code error; !std::filesystem::exists(file, error)) {
    if (verbose) LogaConsole(fmt::format("Warn:{} Arquivo \"{}\" n\xE3o existe", kJsonFileMissing, PathText(file)));
    return kJsonFileMissing;
  }
  TFileIdentity identity;
  std::unique_ptr<TAbstractJson> document;
  if (std::optional<std::string> text = ArrayFileText(file, identity)) document = TAbstractJson::CreateFromString(std::move(*text));
  if (!document || !document->IsArray()) {
    if (verbose) {
      LogaConsole(fmt::format("Warn:{} Arquivo \"{}\" n\xE3o \xE9 um JSON Array, podera tentar como texto",
                              kNotJsonArray, PathText(file)));
    }
    return kNotJsonArray;
  }
  std::string reason;
  if (const int refused = RewriteRefusal(file, identity, reason)) {
    const std::string message = fmt::format("Error:{} The JSON file \"{}\" {}; nothing was imported: {}", refused,
                                            PathText(file), reason,
                                            refused == kJsonFileHardLinked ? "import a copy of it"
                                                                           : "make it writable, or import a copy of it "
                                                                             "in a folder you may write");
    if (verbose) LogaConsole(message);
    else Loga(message);
    return refused;
  }
  std::unique_ptr<TJsonArray> array(&document.release()->AsArray());
  run = std::make_unique<TImpJSON>(std::move(array), params);
  run->Output(fmt::format("Filename: {} OK", PathText(file)), false);
  run->SetFileName(file);
  run->SetFileIdentity(identity);
  return 0;
}

void TImpMainCmdTxt::Output(std::string_view message, bool memoryOnly) {
  if (memoryOnly) KeepLogInMemory(message, {}, {}, false, 0);
  else Loga(message);
}

}  // namespace zi
