// Feeds arbitrary bytes to the JSON document reader, reaches every value it can, and writes the
// document back; the text written must read again.

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto document = zi::TAbstractJson::CreateFromString(std::string(reinterpret_cast<const char*>(data), size));
  if (document->InvalidMessage().empty()) {
    const bool invalid = document->IsInvalid();
    Visit(*document, 0);
    const std::string written = document->AsText();
    // What was read whole is written as JSON that reads whole again.
    if (!invalid && zi::TAbstractJson::CreateFromString(written)->IsInvalid()) std::abort();
  }
  return 0;
}
