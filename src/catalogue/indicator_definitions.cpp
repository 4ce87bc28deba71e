#include "catalogue/indicator_definitions.h"

#include "db/connection.h"
#include "db/multi_result.h"
#include "session/session.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kNoCommand = 3939;
constexpr int kByteOutOfRange = 4016;

int IntAt(const db::TDbCommand& ds, int column) { return db::ValueAsInteger(ds.FieldByIndex(column)); }

uint8_t ByteAt(const db::TDbCommand& ds, int column) {
  const int value = IntAt(ds, column);
  if (value < 0 || value > 255) throw EDBException(kByteOutOfRange);
  return static_cast<uint8_t>(value);
}

std::string TextAt(const db::TDbCommand& ds, int column) { return db::ValueAsText(ds.FieldByIndex(column)); }

DefIndicador DefDaLinha(const db::TDbCommand& ds) {
  return {.id = IntAt(ds, 0),
          .grupo = IntAt(ds, 1),
          .ordem = IntAt(ds, 2),
          .tipo = ByteAt(ds, 3),
          .largura = ByteAt(ds, 4),
          .casas = ByteAt(ds, 5),
          .FormatoCampo = ByteAt(ds, 6),
          .aux7 = IntAt(ds, 7),
          .aux8 = IntAt(ds, 8),
          .aux9 = IntAt(ds, 9),
          .nome = {TextAt(ds, 10), TextAt(ds, 11), TextAt(ds, 12)},
          .texto13 = TextAt(ds, 13)};
}

}  // namespace

std::string LabelDoIndicador(const DefIndicador& def, bool comId) {
  const int lingua = ZiGlobs().lingua;
  const std::string& nome = def.nome[static_cast<size_t>(lingua >= 0 && lingua <= 2 ? lingua : 0)];
  std::string label = comId ? "#" + std::to_string(def.id) + " : " : "";
  return label + Trim(ItemPipe(1, nome)) + " " + Trim(ItemPipe(2, nome));
}

int TListaDeDefIndicador::Carrega() {
  Esquece();
  std::map<int, DefIndicador> defs;
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), "GetTodosDefIndicador");
    if (!ds) return ds.Failure(kNoCommand);
    code = db::ExecMultiResult(db::ZiDb(), *ds, [&](db::TDbCommand& row) {
      DefIndicador def = DefDaLinha(row);
      if (def.id <= 0) throw EZorInputException(kDefinicaoComIdInvalido);
      defs[def.id] = std::move(def);
    });
  } catch (const std::exception& e) {
    ReportExceptionWithCode("TLDI.Carrega", code, e, kNoCommand);
  }
  if (code != 0) return code;
  defs_ = std::move(defs);
  lida_ = true;
  return 0;
}

int TListaDeDefIndicador::GaranteLida() { return lida_ ? 0 : Carrega(); }

void TListaDeDefIndicador::Esquece() {
  defs_.clear();
  lida_ = false;
}

const DefIndicador* TListaDeDefIndicador::Def(int id) {
  if (GaranteLida() != 0) return nullptr;
  const auto it = defs_.find(id);
  return it == defs_.end() ? nullptr : &it->second;
}

int TListaDeDefIndicador::MaiorId() {
  if (GaranteLida() != 0 || defs_.empty()) return 0;
  return defs_.rbegin()->first;
}

TListaDeDefIndicador& DefIndicadores() {
  static TListaDeDefIndicador lista;
  return lista;
}

}  // namespace zi
