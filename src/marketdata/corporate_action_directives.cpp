#include "marketdata/corporate_action_directives.h"

#include <functional>
#include <string>

#include "db/sql_errors.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "marketdata/corporate_action.h"
#include "marketdata/corporate_action_calls.h"
#include "session/reference_data.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kServerTickerNotFound = 3758;
constexpr int kServerNothingToDelete = 8604;
constexpr int kUpsertTokens = 11;

constexpr const char* kInvalidFieldCount = "Invalid # of fields";
constexpr const char* kEmptyTicker = "Empty <ticker>";
constexpr const char* kInvalidExchange = "Invalid <exchange>";
constexpr const char* kInvalidUdex = "Invalid <udex>";
constexpr const char* kInvalidType = "Invalid <type>";
constexpr const char* kInvalidCurrency = "Invalid <currency>";
constexpr const char* kInvalidShares = "Invalid <shares>";
constexpr const char* kInvalidValue = "Invalid <value>";
constexpr const char* kInvalidKey = "Invalid <chaveExterna>";
constexpr const char* kInvalidApproval = "Invalid <approval date>";
constexpr const char* kInvalidPayment = "Invalid <payment-date>";
constexpr const char* kTypeZero = "pvr.tipo=0 not allowed!";
constexpr std::string_view kKeyPrefix = "key:";

struct TCaLine {
  std::string ticker;
  int32_t exchange = 0;
  tPrvento prv = BlankPrvento();
};

// The first failing check of a line writes its message.
struct TCheck {
  bool ok;
  const char* message;
};

bool FirstFailure(TImpMain& run, std::initializer_list<TCheck> checks) {
  for (const TCheck& check : checks) {
    if (check.ok) continue;
    run.ErrorMessage(check.message);
    return true;
  }
  return false;
}

bool ReadNumber(std::string_view token, double& value) { return !Absent(token) && ReadNumberField(token, value); }

// The server's answer to an import line: 3758 (no such ticker) and 8604 (nothing to delete) leave
// the line successful.
TDirectiveOutcome Written(TImpMain& run, const std::string& prefix, const std::function<int()>& write) {
  try {
    const int code = write();
    if (code == 0) return {};
    run.ErrorMessage(prefix + " " + db::SqlErrorText(code));
    return {code == kServerTickerNotFound || code == kServerNothingToDelete, 0};
  } catch (const std::exception& e) {
    run.ErrorMessage(std::string("ImpPrv error ") + e.what());
    return {false, 0};
  }
}

std::string Origin(const TCaLine& line) { return line.ticker + "/" + std::to_string(line.exchange); }

TDirectiveOutcome CorporateAction(TImpMain& run) {
  tParserWrapper& tokens = run.Tokens();
  TCaLine line;
  tPrvento& prv = line.prv;
  if (FirstFailure(run, {{tokens.Count() >= 6, kInvalidFieldCount}})) return {false, 0};
  line.ticker = Trim(tokens.Token(1));
  // Mended: the ex-date identifies the action; "-" would have named no date at all.
  if (FirstFailure(run, {{!Absent(line.ticker), kEmptyTicker},
                         {ReadKnownCode(tokens.Token(2), Listas().EnumBolsa, line.exchange), kInvalidExchange},
                         {ReadRequiredDateField(tokens.Token(3), prv.udex), kInvalidUdex},
                         {ReadKnownCode(tokens.Token(4), Listas().EnumOcoAbrv, prv.tipo), kInvalidType}})) {
    return {false, 0};
  }
  if (tokens.Count() == 6 && UpperAscii(tokens.Token(5)) == "DELETE") {
    prv.acoes = kMissing;
    prv.valor = kMissing;
  } else {
    if (FirstFailure(run, {{ReadKnownCode(tokens.Token(5), Listas().EnumMoeda, prv.moeda), kInvalidCurrency}}))
      return {false, 0};
    if (prv.tipo == 0) {
      run.ErrorMessage(kTypeZero);
      return {false, 0};
    }
    if (FirstFailure(run, {{tokens.Count() == 8, kInvalidFieldCount}})) return {false, 0};
    for (const auto& [position, value] : {std::pair{6, &prv.acoes}, std::pair{7, &prv.valor}}) {
      if (!ReadNumberField(tokens.Token(position), *value)) {
        run.ErrorMessage("Invalid number field (#" + std::to_string(position + 1) + ")");
        return {false, 0};
      }
    }
  }
  if (run.ToNoCheck()) return {};
  return Written(run, "ImpPrv " + Origin(line), [&] { return DbPrvImport(line.ticker, line.exchange, prv); });
}

// "key:" in any case, then the key without its double quotes; empty when the token is no key.
std::string UpsertKey(std::string_view token) {
  if (token.size() < kKeyPrefix.size() || LowerAscii(token.substr(0, kKeyPrefix.size())) != kKeyPrefix) return {};
  std::string key;
  for (const char c : token.substr(kKeyPrefix.size()))
    if (c != '"') key += c;
  key = Trim(key);
  return key == "-" ? std::string() : key;
}

// Each field error is a message that abandons the line without failing it, in either pass: the
// message is counted among the run's messages (ErrMsgCount of its summary), so a file of rejected
// lines does not pass unnoticed.
TDirectiveOutcome CorporateActionUpsert(TImpMain& run) {
  tParserWrapper& tokens = run.Tokens();
  TCaLine line;
  tPrvento& prv = line.prv;
  prv.chaveExterna = UpsertKey(tokens.Token(1));
  line.ticker = Trim(tokens.Token(2));
  const std::string_view udex = tokens.Token(4);
  const std::string_view tipo = tokens.Token(5);
  const std::string_view moeda = tokens.Token(6);
  if (FirstFailure(run, {{!prv.chaveExterna.empty(), kInvalidKey},
                         {!Absent(line.ticker), kEmptyTicker},
                         {ReadKnownCode(tokens.Token(3), Listas().EnumBolsa, line.exchange), kInvalidExchange},
                         {ReadRequiredDateField(udex, prv.udex), kInvalidUdex},
                         {!Absent(tipo) && ReadKnownCode(tipo, Listas().EnumOcoAbrv, prv.tipo), kInvalidType},
                         {!Absent(moeda) && ReadKnownCode(moeda, Listas().EnumMoeda, prv.moeda), kInvalidCurrency},
                         {ReadNumber(tokens.Token(7), prv.acoes), kInvalidShares},
                         {ReadNumber(tokens.Token(8), prv.valor), kInvalidValue},
                         {ReadDateField(tokens.Token(9), prv.dtAprv), kInvalidApproval},
                         {ReadDateField(tokens.Token(10), prv.dtPgto), kInvalidPayment},
                         {tokens.Count() <= kUpsertTokens, kInvalidFieldCount}})) {
    return {};
  }
  if (run.ToNoCheck()) return {};
  return Written(run, "ImpPrv PrvImportV2 " + Origin(line),
                 [&] { return DbPrvImportV2(line.ticker, line.exchange, prv); });
}

// The key is taken as written: a "key:" prefix stays part of it.
TDirectiveOutcome CorporateActionDelete(TImpMain& run) {
  // Mended: an empty key is refused in both passes; "-" is no key either.
  const std::string key = Trim(run.Tokens().Token(1));
  if (Absent(key)) {
    run.ErrorMessage(kInvalidKey);
    return {};
  }
  if (run.ToNoCheck()) return {};
  try {
    const int code = DbPrvDelV2(key);
    if (code == 0) return {};
    run.ErrorMessage("ImpPrv - Delete key: " + key + " " + db::SqlErrorText(code));
  } catch (const std::exception& e) {
    run.ErrorMessage(std::string("ImpPrv-Delete error ") + e.what());
  }
  return {false, 0};
}

}  // namespace

void RegisterCorporateActionDirectives() {
  SetDirectiveHandler("*CA", [](TImpMain& run, const TDirective&) { return CorporateAction(run); });
  SetDirectiveHandler("*CAUPSERT", [](TImpMain& run, const TDirective&) { return CorporateActionUpsert(run); });
  SetDirectiveHandler("*CADELETE", [](TImpMain& run, const TDirective&) { return CorporateActionDelete(run); });
}

}  // namespace zi
