#include "marketdata/corporate_action_list.h"

#include <algorithm>
#include <array>

#include "catalogue/catalogue.h"
#include "marketdata/corporate_action_calls.h"
#include "session/int_stg_list.h"
#include "session/reference_data.h"
#include "toolbox/display_formats.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr const char* kInvalidData = "Invalid data in:";
constexpr const char* kPriceCaption = "Price";

struct TPrvGroup {
  const char* header;
  std::vector<int> types;
};

// The display order of the types: those that adjust prior prices and change the shares
// outstanding, those that only adjust prices, those that only change the shares, the deprecated
// ones (which a new action may not take), the others, and those of fixed income.
const std::array<TPrvGroup, 6>& Groups() {
  static const std::array<TPrvGroup, 6> groups = {{
      {"Proventos que ajustam as cota\xE7\xF5" "es anteriores e alteram a qtd a\xE7\xF5" "es|Corp Actions which adjust "
       "prior prices and alter the shares outstanding|Derechos que ajustan los precios anteriores y alteran la cant accs",
       {2, 3, 4, 5, 6, 10, 14, 16, 28}},
      {"Proventos que ajustam as cota\xE7\xF5" "es anteriores|Corporate Actions which adjust prior prices|Derechos que "
       "ajustan los precios anteriores",
       {1, 21, 22, 23, 27, 30}},
      {"Proventos que alteram a quantidade de a\xE7\xF5" "es|Corporate Actions which alter the shares "
       "outstanding|Derechos que alteran la cantidad de acciones",
       {8, 9, 11, 13, 15, 17, 18, 19, 20, 24, 25, 26, 31}},
      {"Descontinuados (nao use)|Deprecated (dont use)|Descontinuados (no use)", {0, 7, 12}},
      {"Outros|Other|Otros", {29}},
      {"Proventos referente a renda fixa|Corporate Actions referent bonds|Derechos en cuanto a renta fija", {}},
  }};
  return groups;
}

constexpr int kFirstBondType = 32;

bool Deprecated(int tipo) { return tipo == 0 || tipo == 7 || tipo == 12; }

// Empty is no date; anything else must be a date with a day number other than 0.
bool OptionalDate(const std::string& text, TDayNumber& day) {
  const std::string trimmed = Trim(text);
  day = kNoDate;
  if (trimmed.empty()) return true;
  const std::optional<TDayNumber> read = ParseShownDay(trimmed);
  if (read) day = *read;
  return read.has_value();
}

bool Number(const std::string& text, double& value) {
  const TTypedNumber read = ParseTypedNumber(text);
  if (read.kind == TTypedNumber::Number) value = read.value;
  return read.kind == TTypedNumber::Number;
}

}  // namespace

int TPrvListModel::Load(int anb) {
  anb_ = anb;
  tObjAnb series;
  currencyError_.clear();
  if (DbObjAnbGet(anb, series) == 0) {
    defaultCurrency_ = series.moedacot;
  } else {
    defaultCurrency_ = 0;
    currencyError_ = kNoDefaultCurrency;
  }
  selected_ = 0;
  return Reload();
}

int TPrvListModel::Reload() {
  const int code = DbPrvDaAnbV2(anb_, actions_);
  Select(selected_);
  return code;
}

std::string TPrvListModel::RowText(int row) const {
  return IsEmptyLine(row) ? std::string() : PrvDescriptionLine(Action(row));
}

void TPrvListModel::Select(int row) { selected_ = std::clamp(row, 0, RowCount() - 1); }

std::string TPrvListModel::DeleteQuestion(int row) const { return "Delete this item?\n" + RowText(row); }

std::optional<TDayNumber> TPrvListModel::LowerBound() const {
  if (selected_ == 0) return std::nullopt;
  return Action(selected_ - 1).udex;
}

std::optional<TDayNumber> TPrvListModel::UpperBound() const {
  if (IsEmptyLine(selected_)) return std::nullopt;
  return Action(selected_).udex;
}

std::vector<TPrvTypeLine> PrvTypeLines() {
  std::vector<TPrvTypeLine> lines;
  for (const TPrvGroup& group : Groups()) {
    lines.push_back({true, -1, ShownText(group.header)});
    std::vector<int> types = group.types;
    if (types.empty())
      for (int tipo = kFirstBondType; tipo < kPrvTipos; ++tipo) types.push_back(tipo);
    for (const int tipo : types) lines.push_back({false, tipo, PrvTemplate(tipo)});
  }
  return lines;
}

TPrvDialog::TPrvDialog(const tPrvento& prv, bool isNew, int defaultCurrency, std::optional<TDayNumber> lower,
                       std::optional<TDayNumber> upper)
    : original_(prv), isNew_(isNew), defaultCurrency_(defaultCurrency), lower_(lower), upper_(upper) {
  date = ShownDay(prv.udex);
  order = std::to_string(prv.seq);
  quantity = ShownNumber(prv.acoes);
  price = ShownNumber(prv.valor);
  approval = ShownDay(prv.dtAprv);
  payment = ShownDay(prv.dtPgto);
  key = prv.chaveExterna;
  tipo = prv.tipo;
  moeda = prv.moeda;
}

bool TPrvDialog::ShowsCurrencyAndPrice() const { return PrvUsage(tipo).currencyAndValue; }

bool TPrvDialog::ShowsQuantity() const { return PrvUsage(tipo).quantity != TPrvQuantity::None; }

std::string TPrvDialog::QuantityCaption() const { return std::string(PrvQuantityCaption(PrvUsage(tipo).quantity)); }

std::string TPrvDialog::Check() const {
  std::vector<std::string> failures;
  // Day 0 is no date: an ex-date must be a real one.
  const std::optional<TDayNumber> udex = ParseShownDay(Trim(date));
  if (!udex) {
    failures.emplace_back("Date");
  } else if (isNew_ && ((lower_ && !lower_->IsNoDate() && *udex < *lower_) ||
                        (upper_ && !upper_->IsNoDate() && *udex > *upper_))) {
    failures.emplace_back("Date (out of range)");
  }
  const std::optional<int32_t> seq = ParseInteger(Trim(order));
  if (!seq || *seq < 0) failures.emplace_back("seq#");
  if (tipo < 0) {
    failures.emplace_back("Type");
  } else if (isNew_ && Deprecated(tipo)) {
    failures.emplace_back("Type not allowed anymore");
  }
  double number = 0;
  if (ShowsCurrencyAndPrice()) {
    if (moeda < 0 || !Listas().EnumMoeda.ItemDoId(moeda)) failures.emplace_back("Currency");
    if (!Number(price, number)) failures.emplace_back(kPriceCaption);
  }
  if (ShowsQuantity() && !Number(quantity, number)) failures.push_back(QuantityCaption());
  TDayNumber day;
  if (!OptionalDate(approval, day)) failures.emplace_back("Date of approval");
  if (!OptionalDate(payment, day)) failures.emplace_back("Date of payment");
  // Mended: an action without a key could not be deleted alone.
  if (Trim(key).empty()) failures.emplace_back("Key");
  if (failures.empty()) return {};
  std::string message = kInvalidData;
  for (const std::string& failure : failures) message += "\n- " + failure;
  return message;
}

tPrvento TPrvDialog::Record() const {
  tPrvento prv = original_;
  prv.udex = ParseShownDay(Trim(date)).value_or(kNoDate);
  prv.seq = ParseInteger(Trim(order)).value_or(0);
  prv.tipo = tipo;
  prv.chaveExterna = Trim(key);
  OptionalDate(approval, prv.dtAprv);
  OptionalDate(payment, prv.dtPgto);
  prv.moeda = ShowsCurrencyAndPrice() ? moeda : defaultCurrency_;
  prv.valor = kMissing;
  if (ShowsCurrencyAndPrice()) Number(price, prv.valor);
  prv.acoes = kMissing;
  if (ShowsQuantity()) Number(quantity, prv.acoes);
  return prv;
}

}  // namespace zi
