#include "marketdata/corporate_action.h"

#include <uuid/uuid.h>

#include <array>
#include <cctype>

#include <fmt/format.h>

#include "session/reference_data.h"
#include "toolbox/display_formats.h"

namespace zi {

namespace {

// The English templates; the other languages of the session read them too until translations
// exist.
constexpr std::array<std::string_view, kPrvTipos> kTemplates = {
    "@L",
    "Cash dividend of $@V per share",
    "Stock dividend of @A new shares per share owned",
    "Split: Each share will be replaced by @A new shares",
    "Capial Adjustment: @A new shares per share owned",
    "Rights issue of @A shares at $@V per share owned",
    "Rights issue of @A shares at $@V per share owned except for the new ones",
    "Rights issue (non exerted) of @A shares at $@V",
    "Conversion of securities into @A new shares",
    "Retirement of @A shares",
    "Reverse split: Each @A shares will be replaced by one share",
    "Quote in lot of @A shares",
    "Private placement of @A shares at $@V for each owned",
    "Placement of @A shares at $@V each",
    "Capital reduction of @A shares for each owned",
    "Increase in shares of a different class: @A shares",
    "Spin-off representing @A% of the original total",
    "Issuance of @A shares for merger/aquisition",
    "Increase (decrease) of @A shares",
    "@A shares have not been issued yet in relation to prior subscription",
    "@A shares were issued in relation to prior subscription",
    "Adjustment of previous prices",
    "Dividend in shares of another company",
    "Rights issue in shares of another class",
    "Other share class gives rights issue for @A shares of this class",
    "@A shares of this class are converted into shares of another class",
    "Shares of another class are converted into @A shares of this class",
    "Interest on capital of $@V per share",
    "Spin-off: @A shares are converted into shares of another company",
    "The number of shares reported on this date was not considered for per share data",
    "Dividend in shares of another class",
    "Other share class distributes @A shares of this class",
    "Yield of $@V for each security",
    "Amortization of $@V for each security",
    "Yield (no reinv) of $@V for each security",
    "Amortization (no reinv) of $@V for each security",
    "Premium of $@V for each security",
    "Extraordinary amortization of $@V for each security",
    "Monetary restatement of $@V for each security",
    "Maturity of the security",
    "Renegotiation of the security",
    "Total early redemption of the security",
    "Nominal Value Adjustment $@V",
    "Interest Payment $@V",
    "Early Partial Redemption $@V",
    "Extraordinary Interest $@V",
    "Non-Renegotiation",
    "Retention Premium $@V",
    "Early Periodic Payment $@V",
    "Early Extraordinary Payment $@V",
    "Extraordinary Payment $@V",
    "Early Installment Payment $@V",
    "Overdue Interest $@V",
    "Overdue Amortization $@V",
    "Early Installment $@V",
    "Early Maturity",
    "Monetary Update Payment $@V",
    "Reset",
    "Interest Incorporation $@V",
    "Residue Payment $@V",
    "Generic Event $@V",
    "Prepayment $@V",
    "Participation",
    "Put Option $@V",
    "Withdrawn by Early Maturity Declaration $@V",
    "DRRC (Derivative Partial Antecipation) $@V",
    "Installment Payment $@V",
    "Buyback Option Exercise Settlement $@V",
    "Resale Option Exercise Settlement $@V",
    "Init. Per. Buyback Option Exercise Request $@V",
    "Init. Per. Resale Option Exercise Request $@V",
    "Asian Swap Verification $@V",
};

bool KnownTipo(int tipo) { return tipo >= 0 && tipo < kPrvTipos; }

// Up to 7 decimals, trailing zeros dropped; empty for the missing number.
std::string PlainNumber(double value) {
  if (IsMissing(value)) return {};
  std::string text = fmt::format("{:.7f}", value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

}  // namespace

std::string NewChaveExterna() {
  uuid_t guid;
  uuid_generate(guid);
  std::array<char, 37> text{};
  uuid_unparse_upper(guid, text.data());
  return "ZOR-" + std::string(text.data());
}

tPrvento BlankPrvento() {
  tPrvento prv;
  prv.tipo = -1;
  prv.moeda = -1;
  prv.chaveExterna = NewChaveExterna();
  return prv;
}

std::string PrvTemplate(int tipo) {
  if (!KnownTipo(tipo)) return "CA type:" + std::to_string(tipo) + " acoes:@A valor:@V";
  return std::string(kTemplates[static_cast<size_t>(tipo)]);
}

TPrvUsage PrvUsage(int tipo) {
  TPrvUsage usage;
  if (!KnownTipo(tipo)) return usage;
  const std::string_view templ = kTemplates[static_cast<size_t>(tipo)];
  usage.currencyAndValue = templ.find("@V") != std::string_view::npos;
  if (templ.find("@A%") != std::string_view::npos) {
    usage.quantity = TPrvQuantity::Percent;
  } else if (templ.find("@A") != std::string_view::npos) {
    usage.quantity = TPrvQuantity::Shares;
  }
  return usage;
}

std::string_view PrvQuantityCaption(TPrvQuantity quantity) {
  switch (quantity) {
    case TPrvQuantity::Shares: return "Shares";
    case TPrvQuantity::Percent: return "Percent";
    case TPrvQuantity::Factor: return "Factor";
    case TPrvQuantity::None: break;
  }
  return {};
}

std::string FillPrvTemplate(std::string_view templ, const tPrvento& prv, std::string_view currencyName) {
  const std::string quantity = PlainNumber(prv.acoes);
  std::string text;
  for (size_t i = 0; i < templ.size(); ++i) {
    const bool placeholder = templ[i] == '@' && i + 1 < templ.size() &&
                             (templ[i + 1] == '@' || std::isalpha(static_cast<unsigned char>(templ[i + 1])));
    if (!placeholder) {
      text += templ[i];
      continue;
    }
    const char letter = templ[++i];
    if (letter == '@') {
      text += '@';
    } else if (letter == 'A') {
      text += quantity;
    } else if (letter == 'V') {
      text += IsMissing(prv.valor) ? quantity : std::string(currencyName) + " " + PlainNumber(prv.valor);
    } else {
      text += std::string("[@") + letter + "?]";
    }
  }
  return text;
}

std::string PrvDescriptionLine(const tPrvento& prv, std::string_view currencyName) {
  return ShownDay(prv.udex) + " " + fmt::format("{:02d}", prv.seq) + "  " +
         FillPrvTemplate(PrvTemplate(prv.tipo), prv, currencyName);
}

std::string PrvDescriptionLine(const tPrvento& prv) {
  return PrvDescriptionLine(prv, ShownText(Listas().EnumMoeda.TextoDoId(prv.moeda, true)));
}

}  // namespace zi
