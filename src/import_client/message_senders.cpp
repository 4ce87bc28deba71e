#include "import_client/message_senders.h"

#include <sodium.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "db/connection.h"
#include "import/regular_file.h"
#include "import/text_lines.h"
#include "import_client/message_text.h"
#include "session/session.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/dates.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

constexpr const char* kPoeName = "PoeMsgQQNoDataLog";
constexpr const char* kMandaName = "MandaMsgQQCodeDumArquivo";
constexpr const char* kUnparsedLine = "Erro:%d em ParseMsgQQText, NumLinha:%d, nao conseguiu parsear %s";
constexpr const char* kManyMessagesLine =
    "impcli.ParseMsgQQText nao pode gerar mais de uma MsgQQ, ver bug ZI-2269, erro:%d";
constexpr const char* kNoMessageLine = "MandaMsgQQCodeDumArquivo: no line of the file describes a message";

constexpr char kLastMarker = '!';
constexpr char kMoreMarker = ' ';
constexpr int kSecondsPerDay = 86400;

bool IsAllowedPair(int objectId, int auxiliaryId) {
  return (objectId == 171 && auxiliaryId >= 0 && auxiliaryId <= 32000) ||
         (objectId == 174 && auxiliaryId >= 0 && auxiliaryId <= 255);
}

bool IsAllowedKindPair(char kind, int objectId, int auxiliaryId) {
  if (kind == 'T') return IsAllowedPair(objectId, auxiliaryId);
  return kind == 'a' && auxiliaryId == 0;
}

std::string OkOrError(int code) { return code == 0 ? "ok" : "erro:" + std::to_string(code); }

std::string StartLine(const char* name, int objectId, int auxiliaryId, const std::string& file) {
  return std::string(name) + " " + std::to_string(objectId) + "." + std::to_string(auxiliaryId) + " " +
         PathText(file);
}

// A session that is already open serves as it is: another CliLogin would only log its refusal.
int LogIn() {
  if (CliLoginCode() != 0) CliLogin();
  return CliLoginCode();
}

// Local time less the offset that the login measured (none before a login).
TDateTime ServerNow() {
  const platform::LocalTime now = platform::Now();
  const TDateTime local = DateTimeFromCalendar({now.year, now.month, now.day, now.hour, now.minute, now.second});
  return {local.days - static_cast<double>(ZiGlobs().ServerClock.value_or(0)) / kSecondsPerDay};
}

// The chunks of one message through one "DataLogAdd" command, with one date, in one transaction:
// the data log receives a message whole or not at all, so that a reader never assembles the
// pieces of a send that failed halfway with those of the next attempt.
class TChunkSender {
 public:
  TChunkSender(int type, int objectId, int auxiliaryId)
      : type_(type), objectId_(objectId), auxiliaryId_(auxiliaryId), date_(ServerNow()) {
    if (db::HaveZiDb()) ds_.emplace(db::ZiDb(), "DataLogAdd");
  }

  bool HasCommand() const { return ds_ && *ds_; }
  int Sent() const { return sent_; }

  int Send(std::string_view piece, bool last) {
    if (!guard_) {
      guard_.emplace(db::ZiDb());
      if (const int code = guard_->Code()) return code;
    }
    db::TDbCommand& ds = **ds_;
    ds.SetInteger("@tip", type_);
    ds.SetInteger("@oid", objectId_);
    ds.SetInteger("@aux", auxiliaryId_);
    ds.SetDateTime("@date", date_);
    ds.SetText("@txt", MsgQQChunkText(piece, last));
    const int code = db::ZiDb().ExecStProc(ds, 0);
    if (code == 0) ++sent_;
    return code;
  }

  int Commit() { return guard_ ? guard_->Commit() : 0; }

 private:
  int type_;
  int objectId_;
  int auxiliaryId_;
  TDateTime date_;
  int sent_ = 0;
  std::optional<db::TDataSetHolder> ds_;
  std::optional<db::TTransactionGuard> guard_;
};

// The file as it was when opened: a file that grows meanwhile sends what it held then, and one that
// shrinks is a short read.
int SendFileChunks(TRegularFile& in, TChunkSender& sender) {
  std::string piece(kFileChunkBytes, '\0');
  size_t left = in.Size();
  while (left > 0) {
    const size_t want = std::min(left, kFileChunkBytes);
    size_t got = 0;
    try {
      while (got < want) {
        const size_t n = in.Read(piece.data() + got, want - got);
        if (n == 0) break;
        got += n;
      }
    } catch (const std::runtime_error& e) {
      Loga(std::string(kPoeName) + " " + e.what());
      return kMsgQQShortRead;
    }
    if (got < want) return kMsgQQShortRead;
    left -= want;
    if (const int code = sender.Send(std::string_view(piece.data(), want), left == 0)) return code;
  }
  return sender.Commit();
}

int SendFile(int objectId, int auxiliaryId, const std::string& file, bool logIn, size_t& size, int& blocks) {
  std::optional<TRegularFile> in;
  try {
    in.emplace(file);
  } catch (const std::runtime_error& e) {
    Loga(std::string(kPoeName) + " " + e.what());
    return kMsgQQFileUnreadable;
  }
  size = in->Size();
  if (!IsAllowedPair(objectId, auxiliaryId)) return kMsgQQBadPair;
  if (size == 0) return kMsgQQFileEmpty;
  if (logIn) {
    if (const int code = LogIn()) return code;
  }
  TChunkSender sender(kMsgQQFileType, objectId, auxiliaryId);
  if (!sender.HasCommand()) return kMsgQQNoCommand;
  const int code = SendFileChunks(*in, sender);
  blocks = sender.Sent();
  return code;
}

// Empty lines and comments carry no message.
bool IsCodedLine(std::string_view line) { return !line.empty() && line[0] != '#'; }

int ParseCodedLine(const TTextLines& lines, size_t index, std::string& message) {
  int code = 0;
  const std::string& defect = lines.Defect(index);
  if (defect.empty() && ParseMsgQQText(lines.Line(index), message, code)) return 0;
  const int lineNumber = static_cast<int>(index + 1);
  LogaFormat(kUnparsedLine, kCodedLineUnparsed, lineNumber, std::string(lines.Line(index)));
  if (!defect.empty()) Loga(std::string(kMandaName) + " " + defect);
  return kCodedLineUnparsed;
}

// Every line must parse, and one of them at most may describe a message.
int CheckCodedLines(const TTextLines& lines) {
  if (const TEncodingRefusal& refusal = lines.Refusal(); refusal.code != 0) {
    Loga(std::string(kMandaName) + " line:" + std::to_string(refusal.line + 1) + " " + refusal.message);
    return refusal.code;
  }
  int messages = 0;
  for (size_t i = 0; i < lines.Count(); ++i) {
    if (!IsCodedLine(lines.Line(i))) continue;
    std::string message;
    if (const int code = ParseCodedLine(lines, i, message)) return code;
    if (!message.empty()) ++messages;
  }
  if (messages > 1) {
    LogaFormat(kManyMessagesLine, kCodedFileManyMessages);
    return kCodedFileManyMessages;
  }
  // Sending nothing is no success: the file was meant to carry a message.
  if (messages == 0) {
    Loga(kNoMessageLine);
    return kCodedFileEmpty;
  }
  return 0;
}

int SendMessageChunks(const std::string& message, TChunkSender& sender) {
  for (size_t at = 0; at < message.size(); at += kMessageChunkBytes) {
    const size_t n = std::min(kMessageChunkBytes, message.size() - at);
    if (const int code = sender.Send(std::string_view(message).substr(at, n), at + n == message.size())) return code;
  }
  return 0;
}

int SendCodedMessage(char kind, int objectId, int auxiliaryId, const TTextLines& lines) {
  if (!IsAllowedKindPair(kind, objectId, auxiliaryId)) return kCodedBadPair;
  TChunkSender sender(static_cast<unsigned char>(kind), objectId, auxiliaryId);
  if (!sender.HasCommand()) return kCodedNoCommand;
  for (size_t i = 0; i < lines.Count(); ++i) {
    if (!IsCodedLine(lines.Line(i))) continue;
    std::string message;
    if (const int code = ParseCodedLine(lines, i, message)) return code;
    if (const int code = SendMessageChunks(message, sender)) return code;
  }
  return sender.Commit();
}

int SendCodedFile(char kind, int objectId, int auxiliaryId, const std::string& file, TImportEncoding encoding) {
  if (const int code = LogIn()) return code;
  TTextLines lines;
  try {
    lines = TTextLines::FromFile(file, encoding);
  } catch (const std::runtime_error& e) {
    Loga(std::string(kMandaName) + " " + e.what());
    return kMsgQQFileUnreadable;
  }
  if (const int code = CheckCodedLines(lines)) return code;
  return SendCodedMessage(kind, objectId, auxiliaryId, lines);
}

}  // namespace

std::string MsgQQChunkText(std::string_view piece, bool last) {
  std::string bytes;
  bytes.reserve(piece.size() + 1);
  bytes.push_back(last ? kLastMarker : kMoreMarker);
  bytes += piece;
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // the terminating NUL
  return text;
}

int PoeMsgQQNoDataLog(int objectId, int auxiliaryId, const std::string& file, bool logIn) {
  Loga(StartLine(kPoeName, objectId, auxiliaryId, file));
  size_t size = 0;
  int blocks = 0;
  const int code = SendFile(objectId, auxiliaryId, file, logIn, size, blocks);
  Loga("end " + OkOrError(code) + " TotSize:" + std::to_string(size) + " Blocos:" + std::to_string(blocks));
  return code;
}

int MandaMsgQQCodeDumArquivo(char kind, int objectId, int auxiliaryId, const std::string& file,
                             TImportEncoding encoding) {
  Loga(StartLine(kMandaName, objectId, auxiliaryId, file));
  const int code = SendCodedFile(kind, objectId, auxiliaryId, file, encoding);
  Loga("end " + OkOrError(code));
  return code;
}

}  // namespace zi
