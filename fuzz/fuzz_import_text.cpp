// Feeds arbitrary bytes to the reading of import texts: line splitting and conversion, line
// classes, both tokenisers and every field syntax. Anything but a clean return is a finding.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "import/fields.h"
#include "import/text_lines.h"
#include "import/tokeniser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zi::TTextLines lines = zi::TTextLines::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
  zi::tParserWrapper tokens(std::make_unique<zi::tParserSpcDelim>());
  zi::tParserChrDelim dashes('-');
  for (size_t i = 0; i < lines.Count(); ++i) {
    const std::string_view line = lines.Line(i);
    if (zi::IsSkipLine(line, false) && zi::IsSkipLine(line, true)) continue;
    tokens.Parse(line);
    for (int t = 0; t < tokens.Count(); ++t) {
      const std::string_view token = tokens.Token(t);
      int32_t integer = 0;
      double number = 0;
      zi::TDayNumber date;
      bool yes = false;
      zi::ReadIntegerField(token, integer);
      zi::ReadNumberField(token, number);
      zi::ReadDateField(token, date);
      zi::ReadYesNoField(token, yes);
      zi::SplitTokens(dashes, token);
    }
  }
  return 0;
}
