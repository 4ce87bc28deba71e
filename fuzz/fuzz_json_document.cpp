// Feeds arbitrary bytes to the JSON document reader, split by the tokeniser and by the plain scanner,
// reaches every value it can, and writes the document back; both must see the same document, and
// the text written must read again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/json_document.h"

namespace {

void Visit(zi::TAbstractJson& document, int depth) {
  if (depth > 64) return;
  if (auto* object = dynamic_cast<zi::TJsonObject*>(&document)) {
    for (int i = 0; i < object->Count(); ++i) {
      const zi::TJsonAttribute value = object->Item(i);
      if (value.IsObject()) Visit(value.AsObject(), depth + 1);
      if (value.IsArray()) Visit(value.AsArray(), depth + 1);
      long double number = 0;
      object->TryGetNumber(object->NameAt(i), number);
      zi::HasKind(*object, object->NameAt(i), zi::jatDate);
    }
  } else if (auto* array = dynamic_cast<zi::TJsonArray*>(&document)) {
    for (int i = 0; i < array->Count(); ++i) {
      const zi::TJsonAttribute value = array->Item(i);
      if (value.IsObject()) Visit(value.AsObject(), depth + 1);
      if (value.IsArray()) Visit(value.AsArray(), depth + 1);
    }
  }
}

// What a reader sees of a document split one way: its reason, or whether it holds an invalid value
// and the text it writes once every value was reached.
std::string Seen(const std::string& text, zi::TJsonSplitting splitting, bool& invalid) {
  auto document = zi::TAbstractJson::CreateFromString(text, splitting);
  if (!document->InvalidMessage().empty()) return "invalid document: " + document->InvalidMessage();
  invalid = document->IsInvalid();
  Visit(*document, 0);
  return (invalid ? "invalid " : "") + document->AsText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool invalid = false;
  const std::string seen = Seen(text, zi::TJsonSplitting::Tokeniser, invalid);
  // The tokeniser and the plain scanner split every text alike.
  bool scannedInvalid = false;
  if (Seen(text, zi::TJsonSplitting::PlainScanner, scannedInvalid) != seen) std::abort();
  // What was read whole is written as JSON that reads whole again.
  if (seen.starts_with("invalid ") || invalid) return 0;
  if (zi::TAbstractJson::CreateFromString(seen)->IsInvalid()) std::abort();
  return 0;
}
