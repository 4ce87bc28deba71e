#include "session/int_stg_list.h"

#include <algorithm>

#include "db/command.h"
#include "db/connection.h"
#include "session/session.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kItemMissing = 4134;
constexpr int kIdOutOfMarkRange = 4368;

int IntColumn(const db::TDbCommand& ds, int index) {
  return index < ds.FieldCount() ? db::ValueAsInteger(ds.FieldByIndex(index)) : 0;
}

std::string TextColumn(const db::TDbCommand& ds, int index) {
  return index < ds.FieldCount() ? db::ValueAsText(ds.FieldByIndex(index)) : std::string();
}

}  // namespace

std::string ShownText(std::string_view text) {
  if (text.find('|') == std::string_view::npos) return std::string(text);
  return Trim(ItemPipe(ZiGlobs().lingua + 1, text));
}

std::string FillLanguageParts(std::string_view text) {
  std::string parts[3] = {ItemPipe(1, text), ItemPipe(2, text), ItemPipe(3, text)};
  std::string last;
  for (const auto& p : parts)
    if (!p.empty()) last = p;
  for (auto& p : parts)
    if (p.empty()) p = last;
  return parts[0] + "|" + parts[1] + "|" + parts[2];
}

tIntStgList::tIntStgList(std::string source, std::string paramName, int paramValue)
    : source_(std::move(source)), paramName_(std::move(paramName)), paramValue_(paramValue) {}

std::string tIntStgList::Description() const {
  std::string text = "[tISL " + source_;
  if (!paramName_.empty()) text += " " + paramName_ + "=" + std::to_string(paramValue_);
  return text + "]";
}

// The list counts as loaded only once it has been read: a failed load is tried again at the next
// use instead of leaving the list empty for the rest of the session.
void tIntStgList::GaranteLido() {
  if (loaded_) return;
  db::TDataSetHolder ds(db::ZiDb(), source_);
  if (!ds) throw EZorInputException(3939);
  int code = 0;
  if (!paramName_.empty()) {
    ds->SetInteger(paramName_, paramValue_);
    code = db::ZiDb().ExecStProc(*ds, 1);
    if (code == 4090 || code == 4091) code = 0;
  } else {
    code = db::ZiDb().ExecStProc(*ds, 2);
  }
  if (code != 0) {
    Loga("tIntStgList.GaranteLido " + source_ + " DSParamName:" + paramName_ + "=" + std::to_string(paramValue_) +
         " erro:" + std::to_string(code));
    throw EZorInputException(code);
  }
  try {
    LeDoDataSet(*ds);
  } catch (const std::exception& e) {
    ReportException("ISL.LFDS " + source_, e);
    throw;
  }
  marks_.reset();
  loaded_ = true;
}

void tIntStgList::LeDoDataSet(db::TDbCommand& ds) {
  items_.clear();
  items_.reserve(static_cast<size_t>(ds.RecordCount()));
  for (ds.First(); !ds.Eof(); ds.Next()) {
    items_.push_back({IntColumn(ds, 0), Trim(TextColumn(ds, 1)), IntColumn(ds, 2), IntColumn(ds, 3),
                      IntColumn(ds, 4), TextColumn(ds, 5), IntColumn(ds, 6), 0});
  }
}

void tIntStgList::Limpa() {
  items_.clear();
  marks_.reset();
  loaded_ = false;
}

int tIntStgList::Conta() {
  GaranteLido();
  return static_cast<int>(items_.size());
}

const tIntStg* tIntStgList::Item(int index) {
  GaranteLido();
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return &items_[static_cast<size_t>(index)];
}

int tIntStgList::IdDoIndice(int index) {
  const tIntStg* item = Item(index);
  return item ? item->id : -1;
}

bool tIntStgList::Passes(const tIntStg& item, int group, bool allGroups, int excludedFlags) const {
  return (allGroups || item.grupo == group) && (item.flags & excludedFlags) == 0;
}

int tIntStgList::IndiceDoId(int id, int group, bool allGroups, int excludedFlags) {
  GaranteLido();
  int position = 0;
  for (const auto& item : items_) {
    if (!Passes(item, group, allGroups, excludedFlags)) continue;
    if (item.id == id) return position;
    ++position;
  }
  return -1;
}

int tIntStgList::IdDaPosicao(int position, int group, bool allGroups, int excludedFlags) {
  GaranteLido();
  for (const auto& item : items_) {
    if (!Passes(item, group, allGroups, excludedFlags)) continue;
    if (position-- == 0) return item.id;
  }
  return -1;
}

const tIntStg* tIntStgList::ItemDoId(int id) {
  GaranteLido();
  for (const auto& item : items_)
    if (item.id == id) return &item;
  return nullptr;
}

std::string tIntStgList::TextoDoId(int id, bool withFallback) {
  if (const tIntStg* item = ItemDoId(id)) return item->text;
  return withFallback ? "NA(" + std::to_string(id) + ")" : std::string();
}

int tIntStgList::GrupoDoId(int id, std::string_view callerName, bool tolerateMissing) {
  if (const tIntStg* item = ItemDoId(id)) return item->grupo;
  if (tolerateMissing) return 0;
  Loga("error " + Description() + " F2Of(" + std::to_string(id) + ") elem nil " + std::string(callerName));
  throw EZorInputException(kItemMissing);
}

int tIntStgList::IdDoTexto(std::string_view text, int group, bool exact) {
  GaranteLido();
  std::string wanted = exact ? std::string(text) : UpperCp1252(text);
  for (const auto& item : items_) {
    if (item.grupo != group) continue;
    bool match = exact ? item.text == text : UpperCp1252(item.text).starts_with(wanted);
    if (match) return item.id;
  }
  return -1;
}

int tIntStgList::IdDoTextoMostrado(std::string_view text) {
  GaranteLido();
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if (ShownText(it->text) == text) return it->id;
  return -1;
}

int tIntStgList::IdDoTexto2(std::string_view text) {
  GaranteLido();
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if (it->texto2 == text) return it->id;
  return -1;
}

void tIntStgList::PreencheLista(std::vector<std::string>& target, int group, bool allGroups, int excludedFlags) {
  GaranteLido();
  target.clear();
  for (const auto& item : items_)
    if (Passes(item, group, allGroups, excludedFlags)) target.push_back(ShownText(item.text));
}

void tIntStgList::PreencheListaComGrupo(std::vector<std::pair<std::string, int>>& target, tIntStgList& groups, int id,
                                        int group) {
  GaranteLido();
  target.clear();
  for (const auto& item : items_) {
    if (group != -1 && item.grupo != group && (id == -1 || item.id != id)) continue;
    target.emplace_back(ShownText(item.text) + " - " + ShownText(groups.TextoDoId(item.grupo, true)), item.id);
  }
}

void tIntStgList::Adiciona(int id, std::string text, int group) {
  items_.push_back({id, std::move(text), group});
  marks_.reset();
  loaded_ = true;
}

bool tIntStgList::MarcaFlags(int id, int flags) {
  GaranteLido();
  for (auto& item : items_) {
    if (item.id != id) continue;
    item.flags |= flags;
    return true;
  }
  return false;
}

void tIntStgList::Ordena() {
  std::stable_sort(items_.begin(), items_.end(), [](const tIntStg& a, const tIntStg& b) {
    std::string x = ShownText(a.text), y = ShownText(b.text);
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
      return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
    });
  });
}

bool tIntStgList::TemMarca(int id, std::string_view callerName) {
  GaranteLido();
  if (!marks_) {
    std::bitset<256> marks;
    for (const auto& item : items_) {
      if (item.aux == 0) continue;
      if (item.id < 0 || item.id > 255) {
        Loga("Error: ISL.GSF3M " + source_ + " id:" + std::to_string(item.id) + " F3M->" + std::string(callerName));
        throw EZorInputException(kIdOutOfMarkRange);
      }
      marks.set(static_cast<size_t>(item.id));
    }
    marks_ = marks;
  }
  return id >= 0 && id <= 255 && marks_->test(static_cast<size_t>(id));
}

tIntStgListMultiLng::tIntStgListMultiLng(std::string source, std::string addProcedure, bool idZeroFirst,
                                         std::string paramName, int paramValue)
    : tIntStgList(std::move(source), std::move(paramName), paramValue),
      addProcedure_(std::move(addProcedure)),
      idZeroFirst_(idZeroFirst) {}

void tIntStgListMultiLng::LeDoDataSet(db::TDbCommand& ds) {
  tIntStgList::LeDoDataSet(ds);
  for (auto& item : Items())
    if (item.text.find('|') != std::string::npos) item.text = FillLanguageParts(item.text);
  Ordena();
  if (!idZeroFirst_) return;
  auto zero = std::find_if(Items().begin(), Items().end(), [](const tIntStg& i) { return i.id == 0; });
  if (zero != Items().end()) std::rotate(Items().begin(), zero, zero + 1);
}

int tIntStgListMultiLng::AdicionaItem(const std::string& text, int& code, std::string_view callerName) {
  int newId = -1;
  code = 3939;
  if (db::TDataSetHolder ds(db::ZiDb(), addProcedure_); ds) {
    if (!ParamName().empty()) ds->SetInteger(ParamName(), ParamValue());
    ds->SetText("@ItemNamePT", ItemPipe(1, text));
    ds->SetText("@ItemNameEN", ItemPipe(2, text));
    ds->SetText("@ItemNameES", ItemPipe(3, text));
    code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0) {
      newId = ds->ParamAsInteger("@ItemId");
      Limpa();
    }
  }
  Loga("ISLML.AddItem " + addProcedure_ + " param:" + std::to_string(ParamValue()) + " itemid:" +
       std::to_string(newId) + " error:" + std::to_string(code) + " st:<" + text + "> " + std::string(callerName));
  return code == 0 ? newId : -1;
}

}  // namespace zi
