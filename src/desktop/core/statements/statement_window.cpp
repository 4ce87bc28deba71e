#include "desktop/core/statements/statement_window.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "catalogue/catalogue.h"
#include "catalogue/objects.h"
#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "session/builtin_tables.h"
#include "session/int_stg_list.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "session/settings.h"
#include "statements/statement_db.h"
#include "toolbox/display_formats.h"
#include "toolbox/errors.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/message_window.h"
#include "toolbox/switches.h"

namespace zi::desktop {

namespace {

constexpr int kDataLogBalAdd = 26;
constexpr int kContaDeclaracao = 1981;  // header field 12 keeps its yes/no here
constexpr int kTdbDesconhecido = 25036;

std::string Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// value ÷ divisor with the decimals and the thousands separators of the regional settings.
std::string NumberText(double value, int decimals, double divisor, bool trimZeros) {
  if (std::isnan(value)) return {};
  const std::string plain = ShownNumber(value, decimals, trimZeros, divisor);
  const char point = Regional().decimalSeparator;
  const char thousands = point == ',' ? '.' : ',';
  const size_t sign = !plain.empty() && plain[0] == '-' ? 1 : 0;
  size_t intEnd = plain.find(point);
  if (intEnd == std::string::npos) intEnd = plain.size();
  std::string out = plain.substr(0, sign);
  const size_t digits = intEnd - sign;
  for (size_t i = 0; i < digits; ++i) {
    if (i > 0 && (digits - i) % 3 == 0) out += thousands;
    out += plain[sign + i];
  }
  return out + plain.substr(intEnd);
}

enum class TNumberRead { kFailed, kMissing, kNumber };

// The number rules of a cell: blanks around, thousands separators; empty or "-" is missing.
TNumberRead ReadNumber(const std::string& text, double divisor, double& value) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty() || trimmed == "-") {
    value = kMissing;
    return TNumberRead::kMissing;
  }
  const TTypedNumber number = ParseTypedNumber(trimmed, divisor);
  if (number.kind != TTypedNumber::Number) return TNumberRead::kFailed;
  value = number.value;
  return TNumberRead::kNumber;
}

std::optional<int> ReadInteger(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<bool> ReadYesNo(const std::string& text) {
  if (const std::optional<int> n = ReadInteger(text); n && (*n == 0 || *n == 1)) return *n == 1;
  if (text.empty() || text.size() > 3) return std::nullopt;
  if (text[0] == 'Y' || text[0] == 'y') return true;
  if (text[0] == 'N' || text[0] == 'n') return false;
  return std::nullopt;
}

std::optional<TDayNumber> ReadDate(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty() || trimmed == "-") return std::nullopt;
  return ParseShownDay(trimmed);
}

// The calculator: "=a+b-c" becomes the sum of its signed terms when every term reads as a number.
std::string Calculate(const std::string& text) {
  if (text.size() < 2 || text[0] != '=') return text;
  const std::string rest = text.substr(1);
  std::vector<std::string> terms;
  size_t start = 0;
  for (size_t i = 1; i < rest.size(); ++i) {
    if ((rest[i] == '+' || rest[i] == '-') && i > start) {
      terms.push_back(rest.substr(start, i - start));
      start = i;
    }
  }
  terms.push_back(rest.substr(start));
  double sum = 0;
  for (std::string term : terms) {
    if (!term.empty() && term[0] == '+') term.erase(0, 1);
    double value = 0;
    if (ReadNumber(term, 1, value) != TNumberRead::kNumber) return text;
    sum += value;
  }
  if (!std::isfinite(sum)) return text;
  return NumberText(sum, kMaxShownDecimals, 1, true);
}

bool SameCells(const TBalanco& a, const TBalanco& b) {
  for (int p = 0; p < kPeriodos; ++p) {
    for (int conta = 1; conta <= kMaxContaBal; ++conta) {
      const TCelulaBal& x = a.Celula(p, conta);
      const TCelulaBal& y = b.Celula(p, conta);
      const bool sameValue = (std::isnan(x.valor) && std::isnan(y.valor)) || x.valor == y.valor;
      if (!sameValue || x.CalcOuRx != y.CalcOuRx || x.erro != y.erro) return false;
    }
  }
  return true;
}

bool SameStatement(const TBalanco& a, const TBalanco& b) { return a.head == b.head && SameCells(a, b); }

// The runtime's default real-number text: 15 significant digits and a four-digit exponent.
std::string DefaultRealText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14E", value);
  std::string text = buffer;
  const size_t e = text.find('E');
  if (e == std::string::npos || e + 2 > text.size()) return text;
  std::string exponent = text.substr(e + 2);
  while (exponent.size() < 4) exponent.insert(0, "0");
  return text.substr(0, e + 2) + exponent;
}

void LogDifferences(const TBalanco& loaded, const TBalanco& checked) {
  Loga("Bal " + LogLabelDoBal(loaded.head) + " checagem->houve mudancas");
  if (loaded.head.AceitarFalhaNaChecagem != checked.head.AceitarFalhaNaChecagem) Loga("- head AFNC");
  THeadBal a = loaded.head;
  THeadBal b = checked.head;
  a.AceitarFalhaNaChecagem = b.AceitarFalhaNaChecagem;
  if (!(a == b)) Loga("- head: resto ");
  for (int p = 0; p < kPeriodos; ++p) {
    for (int conta = 1; conta <= kMaxContaBal; ++conta) {
      const TCelulaBal& x = loaded.Celula(p, conta);
      const TCelulaBal& y = checked.Celula(p, conta);
      const bool sameValue = (std::isnan(x.valor) && std::isnan(y.valor)) || x.valor == y.valor;
      if (!sameValue || x.CalcOuRx != y.CalcOuRx || x.erro != y.erro)
        Loga("- conta " + std::to_string(p) + "/" + std::to_string(conta));
    }
  }
}

std::string StatementTitle(const std::string& sourceName, bool consolidado, TDayNumber dataref) {
  return sourceName + " " + NomeDoConsolidado(consolidado) + " " + ShownDay(dataref);
}

}  // namespace

struct tBalWin::TColuna {
  int id = 0;
  TDayNumber dataref;
  uint8_t consolidado = 0;
  std::unique_ptr<TBalanco> bal;
  bool modified = false;
  bool confirmed = false;
  bool resend = false;
  bool semMeses = false;
  bool changedByCheck = false;
  std::unique_ptr<TBalanco> calc;
  std::string anchors;
  // The read failed and was reported: drawing does not try again.
  bool readFailed = false;

  TStmKey Key() const {
    if (bal) return {bal->head.dataref, bal->head.consolidado != 0};
    return {dataref, consolidado != 0};
  }
};

std::string ModifyQuestion(const std::string& sourceName, bool consolidado, TDayNumber dataref) {
  return "Are you sure you want to modify the  " + StatementTitle(sourceName, consolidado, dataref) +
         " financial statement ?";
}

std::string DeleteStatementQuestion(const std::string& sourceName, bool consolidado, TDayNumber dataref) {
  return "Delete " + StatementTitle(sourceName, consolidado, dataref) + "  financial statement ?";
}

std::string DuplicateStatementText(const std::string& sourceName, bool consolidado, TDayNumber dataref) {
  return "A " + StatementTitle(sourceName, consolidado, dataref) + " financial statement already exists!";
}

std::string HeaderDialogPattern() {
  std::string pattern = Regional().shortDateFormat;
  for (const char* month : {"MMM", "mmm"}) {
    const size_t at = pattern.find(month);
    if (at != std::string::npos && (at + 3 >= pattern.size() || pattern[at + 3] != month[0])) pattern.erase(at, 1);
  }
  if (pattern.find("yy") != std::string::npos && pattern.find("yyyy") == std::string::npos) {
    pattern.insert(pattern.find("yy"), "yy");
  }
  return pattern;
}

std::optional<TStmKey> ReadHeaderDialog(const std::string& dateText, int choice, std::string& error) {
  const std::optional<TDayNumber> day = ReadDate(dateText);
  if (!day || day->IsNoDate() || (choice != 0 && choice != 1)) {
    error = kHeaderDialogError;
    return std::nullopt;
  }
  error.clear();
  return TStmKey{*day, choice == 1};
}

tBalWin::tBalWin(THeaderDialog headerDialog) : headerDialog_(std::move(headerDialog)) {
  LogaDebug("TBalWin.Create 0");
  ReadSettings();
  LogaDebug("TBalWin.Create end");
}

tBalWin::~tBalWin() { Close(); }

void tBalWin::AttachGrid(tGridView* grid) {
  tMdiChildGrid::AttachGrid(grid);
  grid_ = grid;
}

void tBalWin::ReadSettings() {
  divisor_ = 1;
  const std::string divisor = Trim(LeReg("DivisorBal"));
  double value = 0;
  const char* end = divisor.data() + divisor.size();
  if (const auto [ptr, ec] = std::from_chars(divisor.data(), end, value); ec == std::errc() && ptr == end) {
    if (value == 1000) divisor_ = 1000;
    if (value == 1000000) divisor_ = 1000000;
  }
  const std::optional<int> decimals = ReadInteger(Trim(LeReg("DecimaisBal")));
  decimais_ = decimals && *decimals >= 0 && *decimals <= 4 ? *decimals : 0;
  const std::optional<int> source = ReadInteger(Trim(LeReg("SourceBal")));
  key_.source = source && SourceButtonsVisible() ? *source : 0;
  const std::optional<int> tipo = ReadInteger(Trim(LeReg("TipoDocumentoBal")));
  key_.tipoDocumento = tipo.value_or(0);
}

void tBalWin::Close() {
  if (closed_) return;
  closed_ = true;
  LogaDebug("TBalWin.Destroy");
  GravaReg("DivisorBal", DefaultRealText(divisor_));
  GravaReg("DecimaisBal", std::to_string(decimais_));
  GravaReg("SourceBal", std::to_string(key_.source));
  GravaReg("TipoDocumentoBal", std::to_string(key_.tipoDocumento));
  cols_.clear();
}

// --- Queries. ---

bool tBalWin::GridVisible() const { return emp_ != 0; }

int tBalWin::RowCount() const {
  return kStmHeaderRows + std::max(1, static_cast<int>(displayFormat_.linhas.size()));
}

int tBalWin::ColCount() const { return 1 + std::max(1, ColumnCount()); }

bool tBalWin::ColumnLoaded(int col) const {
  return col >= 1 && col <= ColumnCount() && cols_[static_cast<size_t>(col - 1)]->bal != nullptr;
}

const TLinhaFmt* tBalWin::LineOfRow(int row) const {
  const int line = row - kStmHeaderRows;
  if (line < 0 || line >= static_cast<int>(displayFormat_.linhas.size())) return nullptr;
  return &displayFormat_.linhas[static_cast<size_t>(line)];
}

bool tBalWin::TypedLine(const TLinhaFmt& linha) const {
  return linha.EhConta() && !(linha.temPartes && linha.pai != 0) && linha.IdentificacaoDeContas == 0 &&
         !linha.hidden;
}

TStmCell tBalWin::Label(int row) const {
  TStmCell cell;
  cell.background = row == curRow_ && row >= kStmHeaderRows ? kWhite : kStmGreyBack;
  if (row == 1 && key_.source != 0) cell.text = "Source : " + NomeDaFonte(key_.source);
  if (row == 2) cell.text = "Doc Type : " + NomeDoTipoDocumento(key_.tipoDocumento);
  const int line = row - kStmHeaderRows;
  if (line >= 0 && line < static_cast<int>(labels_.size())) cell.text = labels_[static_cast<size_t>(line)];
  return cell;
}

TStmCell tBalWin::HeaderText(int col, int row) const {
  if (col == 0) return Label(row);
  TStmCell cell;
  cell.align = TStmCell::kCentre;
  cell.narrow = row != 0;
  if (!ColumnLoaded(col)) return cell;
  const TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  const THeadBal& head = c.bal->head;
  switch (row) {
    case 0:
      cell.text = ShownDay(head.dataref);
      cell.bold = true;
      break;
    case 1:
      cell.text = NomeDoConsolidado(head.consolidado != 0);
      break;
    case 2:
      if (head.ChecagemFalhou == 1) {
        cell.text = "Anchors";
        cell.colour = kStmRed;
      } else if (head.ChecagemFalhou == 2) {
        cell.text = "Error";
        cell.colour = kStmRed;
        cell.bold = true;
      }
      if (head.AceitarFalhaNaChecagem && !cell.text.empty()) {
        cell.text += " (ignored)";
        cell.colour = kStmBlue;
        cell.bold = false;
      }
      break;
    case 3:
      if (c.modified) {
        cell.text = !c.changedByCheck || c.confirmed ? "changed & not saved" : "**";
        cell.colour = kStmBlue;
      } else if (c.changedByCheck) {
        cell.text = "format changed";
        cell.colour = kStmGrey;
      }
      break;
    default:
      break;
  }
  return cell;
}

std::string tBalWin::ValueText(const TColuna& coluna, const TLinhaFmt& linha) const {
  const TBalanco& bal = *coluna.bal;
  const THeadBal& head = bal.head;
  const ContaBal* conta = displayFormat_.contas.Conta(linha.conta);
  const int como = conta ? conta->comocalcular : 0;
  if (como == 0) {
    if (!ContaValida(linha.conta)) return {};
    return NumberText(bal.Valor(key_.periodo, linha.conta), decimais_, divisor_, false);
  }
  if (como != 1) return {};
  switch (conta->comocalcular_Num) {
    case 2: return ShownDay(head.dataref);
    case 3: return ConsolidadoNaGrade(head.consolidado != 0);
    case 4: return ShownDay(head.datamoeda);
    case 5: return std::to_string(head.meses);
    case 6: return std::to_string(formatId_) + (formatName_.empty() ? "" : " - " + formatName_);
    case 7: {
      const std::string name = NomeDoCorrMon(head.corrmon);
      return std::to_string(head.corrmon) + (head.corrmon >= 0 && head.corrmon <= 9 ? " - " + name : "");
    }
    case 8: return ShownDay(head.datadivulgacao);
    case 9: return ShownDay(head.DataUltAlteracao);
    case 12: {
      const double v = bal.Valor(key_.periodo, kContaDeclaracao);
      return !std::isnan(v) && v > 0 ? "Yes" : "No";
    }
    case 13: return NomeDaFonte(head.sourcedobal);
    case 18:
    case 19:
    case 21:
    case 22:
      if (!ContaValida(linha.conta)) return {};
      return NumberText(bal.Valor(key_.periodo, linha.conta), 0, 1, false);
    case 20: return NomeDoTipoDocumento(head.TipoDocumento);
    default: return {};
  }
}

TStmCell tBalWin::Cell(int col, int row) const {
  if (col == 0 || row < kStmHeaderRows) return HeaderText(col, row);
  TStmCell cell;
  cell.align = TStmCell::kRight;
  const TLinhaFmt* linha = LineOfRow(row);
  if (!linha || !linha->EhConta()) {
    cell.background = kStmGreyBack;
    return cell;
  }
  cell.background = TypedLine(*linha) ? kWhite : kStmGreyBack;
  if (!ColumnLoaded(col)) return cell;
  const TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  cell.text = ValueText(c, *linha);
  const ContaBal* conta = displayFormat_.contas.Conta(linha->conta);
  bool calc = false;
  bool erro = false;
  if (ContaValida(linha->conta)) {
    const TCelulaBal& celula = c.bal->Celula(key_.periodo, linha->conta);
    calc = celula.CalcOuRx;
    erro = celula.erro;
  }
  if (conta && conta->comocalcular == 1 && conta->comocalcular_Num == 5 && c.semMeses) erro = true;
  if (!c.changedByCheck || c.modified) cell.colour = calc ? kStmBlue : erro ? kStmRed : kStmBlack;
  else cell.colour = erro ? kStmRed : kStmGrey;
  return cell;
}

std::vector<TStmStatusPiece> tBalWin::Status() const {
  std::vector<TStmStatusPiece> pieces;
  if (!ColumnLoaded(curCol_)) return pieces;
  const TColuna& c = *cols_[static_cast<size_t>(curCol_ - 1)];
  std::string text;
  const TLinhaFmt* linha = LineOfRow(curRow_);
  if (linha && linha->EhConta() && ContaValida(linha->conta) && c.calc) {
    text = TextoDaCelula(*c.bal, *c.calc, linha->conta, key_.periodo, decimais_, divisor_);
  }
  if (text.empty() && !c.anchors.empty()) text = "Anchors : " + c.anchors;
  if (text.empty()) return pieces;
  size_t start = 0;
  while (static_cast<int>(pieces.size()) < kStmStatusPieces) {
    const size_t nul = text.find('\0', start);
    const bool last = nul == std::string::npos || static_cast<int>(pieces.size()) == kStmStatusPieces - 1;
    std::string piece = last ? text.substr(start) : text.substr(start, nul - start);
    if (last) std::erase(piece, '\0');
    pieces.push_back({piece, pieces.size() % 2 == 1});
    if (last) break;
    start = nul + 1;
  }
  return pieces;
}

std::vector<TStmMenuItem> tBalWin::MenuState(int col) const {
  if (col < 1 || col > ColumnCount()) return {};
  const TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  return {{TStmMenuItem::kUndo, "Undo changes", c.modified && c.confirmed},
          {TStmMenuItem::kDelete, "Delete", true},
          {TStmMenuItem::kIgnoreErrors, "Ignore errors", c.bal && c.bal->head.ChecagemFalhou != 0},
          {TStmMenuItem::kResend, "Resend", true}};
}

std::vector<TStmButton> tBalWin::PeriodButtons() const {
  return {{kPeriodoFY, "3,6,9,12mo"}, {kPeriodo3M, "3mo of 2nd\r&& 3rd qtr"}};
}

std::vector<TStmButton> tBalWin::SourceButtons() const {
  std::vector<TStmButton> buttons;
  for (const int source : SourcesVisiveis()) buttons.push_back({source, NomeDaFonte(source)});
  return buttons;
}

bool tBalWin::SourceButtonsVisible() const { return SourcesVisiveis().size() > 1; }

std::vector<TStmButton> tBalWin::DocTypeButtons() const {
  return {{0, NomeDoTipoDocumento(0)}, {1, NomeDoTipoDocumento(1)}};
}

std::vector<std::string> tBalWin::DivisorItems() { return {"Units", "Thousands", "Millions"}; }

int tBalWin::DivisorIndex() const { return divisor_ == 1000 ? 1 : divisor_ == 1000000 ? 2 : 0; }

// --- Loading. ---

void tBalWin::ReadFormat() {
  LogaDebug("TBalWin.PLDFB 0");
  checker_.reset();
  checkFormat_.Limpa();
  displayFormat_.Limpa();
  labels_.clear();
  formatId_ = 0;
  formatName_.clear();
  moeda_ = 0;
  formatMissing_ = true;
  tObjEmp emp;
  if (const int code = DbObjEmpGet(emp_, emp); code != 0) {
    Loga("TBalWin company read  Error: " + std::to_string(code) + " emp: " + std::to_string(emp_));
    return;
  }
  const int source = key_.source;
  auto slot = [](const auto& array, int i) {
    return i >= 0 && i < static_cast<int>(array.size()) ? array[static_cast<size_t>(i)] : 0;
  };
  LogaDebug("TBalWin.PLDFB 1 \"" + emp.nome + "\" id:" + std::to_string(emp.id) + " MoedaLocal:" +
            std::to_string(emp.moedabal[0]) + " MoedaEdgar:" + std::to_string(emp.moedabal[1]) + " MoedaSec:" +
            std::to_string(emp.moedabal[2]) + " MoedaSdb3:" + std::to_string(emp.moedabal[3]) + " Src:" +
            std::to_string(source) + " FBal:" + std::to_string(slot(emp.fmtbal, source)) +
            " MoedaInformeFIDC:" + std::to_string(emp.moedaInformeFIDC));
  if (key_.tipoDocumento == 0) {
    formatId_ = slot(emp.fmtbal, source);
    moeda_ = slot(emp.moedabal, source);
  } else if (key_.tipoDocumento == 1) {
    formatId_ = kFormatoDoTipoDocumento1;
    moeda_ = emp.moedaInformeFIDC;
  } else {
    Loga("TDB unkonown  Error: " + std::to_string(kTdbDesconhecido) + " TpDoc: " + std::to_string(key_.tipoDocumento));
    return;
  }
  if (formatId_ == 0) {
    Loga("TBalWin no format  emp: " + std::to_string(emp_) + " Src:" + std::to_string(source));
    return;
  }
  if (const int code = DbLeFormatoBal(formatId_, key_.periodo == kPeriodo3M, false, checkFormat_); code != 0) {
    Loga("TBalWin format read  Error: " + std::to_string(code) + " FBal:" + std::to_string(formatId_));
    return;
  }
  if (checkFormat_.linhas.empty()) {
    // A format the catalogue names but holds no line of: nothing to show or check against.
    Loga("TBalWin format without lines  FBal:" + std::to_string(formatId_));
    return;
  }
  LogaDebug("TBalWin.PLDFB 2");
  try {
    formatName_ = ShownText(Listas().EnumFmtBal.TextoDoId(formatId_, false));
  } catch (const EDBException& e) {
    Loga("TBalWin format name  Error: " + std::to_string(e.ErrorCode()));
  }
  displayFormat_ = checkFormat_;
  std::vector<int> ids;
  if (const int code = DbContaBalGetBlocoPadraoNaDigitacao(ids); code != 0) {
    Loga("TBalWin data-entry lines  Error: " + std::to_string(code));
    ids.clear();
  }
  InsereLinhasPadraoNaDigitacao(displayFormat_, ids, key_.periodo == kPeriodo3M);
  checker_ = std::make_unique<TChecagemBal>(checkFormat_, checkFormat_.contas);
  for (const TLinhaFmt& linha : displayFormat_.linhas) {
    std::string block;
    if (linha.tipo == kLinhaTituloBloco) {
      try {
        block = ShownText(Listas().EnumBlocoDeContaBal.TextoDoId(linha.bloco, true));
      } catch (const EDBException& e) {
        Loga("TBalWin block names  Error: " + std::to_string(e.ErrorCode()));
      }
    }
    std::string label = LabelDaLinha(linha, displayFormat_.contas, true, block);
    if (linha.EhConta()) {
      char id[16];
      std::snprintf(id, sizeof id, "%04d", linha.conta);
      label = std::string(id) + "  " + label;
    }
    labels_.push_back(std::move(label));
  }
  formatMissing_ = false;
  LogaDebug("TBalWin.PLDFB end");
}

void tBalWin::ObjDataLoad() {
  tMdiChildGrid::ObjDataLoad();
  LogaDebug("TBalWin.ODL 0");
  emp_ = CurObjId();
  DropPendingCell();
  DropColumns();
  pendingDeletes_.clear();
  curCol_ = -1;
  curRow_ = -1;
  if (emp_ == 0) {
    checkFormat_.Limpa();
    displayFormat_.Limpa();
    labels_.clear();
    if (view_) view_->ShowAll();
    return;
  }
  listFailed_ = false;
  if (const int code = ReadView(); code != 0) {
    // The window stays usable: a switch or a new company reads again. Without the list the keys
    // of the stored statements are unknown, so nothing is created meanwhile.
    Loga("TBalWin.ODL  Error: " + std::to_string(code));
    DropColumns();
    listFailed_ = true;
    db::ShowSqlErrorTxt("TBalWin.ObjDataLoad", code);
  }
  RestartGridEdit();
  if (view_) {
    view_->ShowAll();
    view_->SelectCell(curCol_, curRow_);
  }
  LogaDebug("TBalWin.ODL end");
}

int tBalWin::ReadView() {
  // Drawing does not load columns until the view is read.
  TScopedValue<bool> loading(loadingView_, true);
  std::unique_ptr<TMessageWindow> window = CreateMessageWindow("ZorInput");
  LogaDebug("TBalWin.ODL 1");
  int code = 0;
  try {
    if (window) window->SetLine(1, "Reading financial statement template");
    ReadFormat();
    LogaDebug("TBalWin.ODL 2");
    if (window) window->SetLine(1, "Listing financial statements");
    std::vector<int> ids;
    code = DbBalancosIdDaEmp(emp_, key_.source, key_.tipoDocumento, ids);
    for (const int id : ids) {
      auto coluna = std::make_unique<TColuna>();
      coluna->id = id;
      cols_.push_back(std::move(coluna));
    }
    LogaDebug("TBalWin.ODL 3");
    if (window) window->SetLine(1, "Finishing setup");
  } catch (const EDBException& e) {
    code = e.ErrorCode();
  }
  curCol_ = ColCount() - 1;
  curRow_ = kStmHeaderRows;
  LogaDebug("TBalWin.ODL 4");
  if (window) window->Close();
  return code;
}

void tBalWin::DropPendingCell() {
  if (grid_ && EditMode() != kNoEdit) CancelCellEdit();
}

void tBalWin::RestartGridEdit() {
  if (!grid_) return;
  SetEditMode(kNoEdit);
  SetEditMode(kRecordsInColumns);
}

void tBalWin::DropColumns() { cols_.clear(); }

int tBalWin::LoadColumn(int index) {
  TColuna& c = *cols_[static_cast<size_t>(index)];
  if (c.bal) return 0;
  auto bal = std::make_unique<TBalanco>();
  c.modified = false;
  c.confirmed = false;
  c.changedByCheck = false;
  c.semMeses = false;
  c.anchors.clear();
  c.calc.reset();
  if (c.id != 0) {
    int code = 0;
    try {
      code = DbBalGet(c.id, *bal);
    } catch (const EDBException& e) {
      code = e.ErrorCode();
    }
    if (code != 0) {
      Loga("BalWin.GaranteBal erro:" + std::to_string(code));
      c.readFailed = true;
      return code;
    }
    c.readFailed = false;
    c.bal = std::move(bal);
    CheckCopy(c);
    return 0;
  }
  bal->head.TipoDocumento = static_cast<uint8_t>(key_.tipoDocumento);
  bal->head.sourcedobal = static_cast<uint8_t>(key_.source);
  bal->head.empresa = emp_;
  bal->head.dataref = c.dataref;
  bal->head.consolidado = c.consolidado;
  bal->head.datamoeda = c.dataref;
  bal->head.moeda = moeda_;
  c.semMeses = bal->head.meses == 0;
  c.readFailed = false;
  c.bal = std::move(bal);
  return 0;
}

void tBalWin::CheckCopy(TColuna& c) {
  if (!checker_) return;
  TBalanco copy = *c.bal;
  auto calc = std::make_unique<TBalanco>();
  const TResultadoChecagem result = checker_->Checa(copy, key_.periodo, divisor_, calc.get());
  c.calc = std::move(calc);
  c.anchors = result.texto;
  c.semMeses = result.semMeses;
  c.bal->head.ChecagemFalhou = copy.head.ChecagemFalhou;
  for (int conta = 1; conta <= kMaxContaBal; ++conta)
    c.bal->Celula(key_.periodo, conta).erro = copy.Celula(key_.periodo, conta).erro;
  copy.head.Incompleto = c.bal->head.Incompleto;
  c.changedByCheck = !SameStatement(copy, *c.bal);
  if (c.changedByCheck && TemParam("DbgDifChecagemBal")) LogDifferences(*c.bal, copy);
  if (c.changedByCheck && copy.head.ChecagemFalhou == 0) {
    *c.bal = std::move(copy);
    c.modified = true;
  }
}

void tBalWin::CheckInPlace(TColuna& c) {
  if (!checker_) return;
  auto calc = std::make_unique<TBalanco>();
  const TResultadoChecagem result = checker_->Checa(*c.bal, key_.periodo, divisor_, calc.get());
  c.calc = std::move(calc);
  c.anchors = result.texto;
  c.semMeses = result.semMeses;
}

int tBalWin::EnsureLoaded(const std::vector<int>& cols) {
  // Drawing while the view is read loads nothing.
  if (loadingView_) return 0;
  int code = 0;
  for (const int col : cols) {
    if (col < 1 || col > ColumnCount()) continue;
    TColuna& c = *cols_[static_cast<size_t>(col - 1)];
    if (c.bal || c.readFailed) continue;
    // After a failure the other columns asked for draw empty too: one box per drawing, not one per
    // column (a lost connection fails them all). F10 or entering a column reads it again.
    if (code != 0) c.readFailed = true;
    else code = LoadColumn(col - 1);
  }
  if (code != 0) db::ShowSqlErrorTxt("TBalWin.GaranteBal", code);
  return code;
}

int tBalWin::LoadAll() {
  int code = 0;
  for (int col = 1; col <= ColumnCount() && code == 0; ++col) code = LoadColumn(col - 1);
  if (code != 0) db::ShowSqlErrorTxt("TBalWin.GaranteBal", code);
  if (view_) view_->ShowAll();
  return code;
}

bool tBalWin::HandleShortCut(const TKeyMessage& message) {
  if (message.key == TKey::F10) {
    LoadAll();
    return true;
  }
  return tMdiChildGrid::HandleShortCut(message);
}

bool tBalWin::TakesKeyInEditor(TKey key) const { return key == TKey::F10 || tMdiChildGrid::TakesKeyInEditor(key); }

// Loads a column that an action needs; a failure is shown. False when it is not loaded.
bool tBalWin::NeedColumn(int col) {
  if (col < 1 || col > ColumnCount()) return false;
  const int code = LoadColumn(col - 1);
  if (code == 0) return true;
  db::ShowSqlErrorTxt("TBalWin.GaranteBal", code);
  return false;
}

int tBalWin::FindKey(const TStmKey& key, bool insertMode) {
  for (int i = ColumnCount() - 1; i >= 0; --i) {
    LoadColumn(i);
    const TStmKey k = cols_[static_cast<size_t>(i)]->Key();
    if (k == key) return i;
    if (k.dataref > key.dataref || (k.dataref == key.dataref && k.consolidado > key.consolidado)) continue;
    return insertMode ? i + 1 : -1;
  }
  return insertMode ? 0 : -1;
}

// --- Actions. ---

bool tBalWin::SwitchView(const TStmViewKey& key) {
  if (switching_) return false;
  if (key == key_) return true;
  TScopedValue<bool> switching(switching_, true);
  if (!ConfirmClose()) return false;
  DropPendingCell();
  key_ = key;
  ObjDataLoad();
  return true;
}

bool tBalWin::NewStatement() {
  if (emp_ == 0 || listFailed_) return false;
  ChkEmpDoUsr(emp_);
  THeaderDialogRequest request{"Add a new Financial Statement", HeaderDialogPattern(), false,
                               key_.source != 0 ? "Source : " + NomeDaFonte(key_.source) : std::string()};
  for (;;) {
    const std::optional<TStmKey> key = headerDialog_ ? headerDialog_(request) : std::nullopt;
    if (!key) return false;
    if (FindKey(*key, false) >= 0) {
      request.title = "This financial statement already exists!";
      request.dateText = ShownDay(key->dataref);
      request.consolidado = key->consolidado;
      continue;
    }
    CommitRecord();
    const int position = FindKey(*key, true);
    auto coluna = std::make_unique<TColuna>();
    coluna->dataref = key->dataref;
    coluna->consolidado = key->consolidado ? 1 : 0;
    cols_.insert(cols_.begin() + position, std::move(coluna));
    LoadColumn(position);
    curCol_ = position + 1;
    curRow_ = kStmHeaderRows;
    RestartGridEdit();
    if (view_) {
      view_->ShowAll();
      view_->SelectCell(curCol_, curRow_);
    }
    return true;
  }
}

void tBalWin::Undo(int col) {
  if (col < 1 || col > ColumnCount()) return;
  if (CurRecord() == col) DropPendingCell();
  TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  c.bal.reset();
  c.calc.reset();
  c.anchors.clear();
  c.modified = false;
  c.confirmed = false;
  NeedColumn(col);
  if (view_) {
    view_->RedrawColumn(col);
    view_->ShowStatus();
  }
}

bool tBalWin::Delete(int col) {
  if (!NeedColumn(col)) return false;
  ChkEmpDoUsr(emp_);
  const TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  const TStmKey key = c.Key();
  const std::string question = DeleteStatementQuestion(NomeDaFonte(key_.source), key.consolidado, key.dataref);
  if (!AskYesNo("Confirm", question)) return false;
  DropPendingCell();
  if (c.id != 0) pendingDeletes_.push_back(c.id);
  cols_.erase(cols_.begin() + (col - 1));
  curCol_ = std::min(curCol_, ColCount() - 1);
  RestartGridEdit();
  if (view_) {
    view_->ShowAll();
    view_->ShowStatus();
  }
  return true;
}

void tBalWin::IgnoreErrors(int col) {
  if (!NeedColumn(col)) return;
  TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  c.bal->head.AceitarFalhaNaChecagem = !c.bal->head.AceitarFalhaNaChecagem;
  c.modified = true;
  c.confirmed = true;
  if (view_) view_->RedrawColumn(col);
}

void tBalWin::Resend(int col) {
  if (!NeedColumn(col)) return;
  cols_[static_cast<size_t>(col - 1)]->resend = true;
}

void tBalWin::SetDivisor(int index) {
  // A pending text was typed in the old unit.
  if (grid_) CommitRecord();
  divisor_ = index == 1 ? 1000 : index == 2 ? 1000000 : 1;
  RestartGridEdit();
  if (view_) {
    view_->ShowAll();
    view_->ShowStatus();
  }
}

void tBalWin::SetDecimals(int decimals) {
  if (grid_) CommitRecord();
  decimais_ = std::clamp(decimals, 0, 4);
  RestartGridEdit();
  if (view_) {
    view_->ShowAll();
    view_->ShowStatus();
  }
}

void tBalWin::SetCurrentCell(int col, int row) {
  if (col < 1 || row < 0) {
    curCol_ = -1;
    curRow_ = -1;
  } else {
    curCol_ = col;
    curRow_ = row;
    if (grid_ && EditMode() == kRecordsInColumns) GoToCell(col, row);
  }
  if (view_) view_->ShowStatus();
}

// --- Grid hooks. ---

void tBalWin::EnterRecord(int record) {
  curCol_ = record;
  NeedColumn(record);
}

TFieldEdit tBalWin::GetFieldEdit(int field) {
  TFieldEdit edit;
  const int col = CurRecord();
  const TLinhaFmt* linha = LineOfRow(field);
  edit.colour = kStmGreyBack;
  edit.readOnly = true;
  edit.skip = true;
  if (!linha || col < 1) return edit;
  const TStmCell cell = Cell(col, field);
  edit.text = cell.text;
  edit.colour = cell.background;
  edit.readOnly = !linha->EhConta() || linha->hidden;
  edit.skip = !TypedLine(*linha);
  return edit;
}

bool tBalWin::ApplyText(TBalanco& bal, const TLinhaFmt& linha, const std::string& text) const {
  const ContaBal* conta = displayFormat_.contas.Conta(linha.conta);
  const int como = conta ? conta->comocalcular : 0;
  THeadBal& head = bal.head;
  if (como == 0) {
    if (!ContaValida(linha.conta)) return false;
    double value = kMissing;
    if (ReadNumber(text, divisor_, value) == TNumberRead::kFailed) return false;
    TCelulaBal& cell = bal.Celula(key_.periodo, linha.conta);
    if (!cell.CalcOuRx && Valorigual(cell.valor, value)) return false;
    cell.valor = value;
    cell.CalcOuRx = false;
    cell.erro = false;
    return true;
  }
  if (como != 1) return false;
  const THeadBal before = head;
  const std::string trimmed = Trim(text);
  auto date = [&](TDayNumber& field) {
    if (const std::optional<TDayNumber> day = ReadDate(trimmed)) field = *day;
  };
  switch (conta->comocalcular_Num) {
    case 2: date(head.dataref); break;
    case 3:
      if (const std::optional<bool> yes = ReadYesNo(trimmed)) head.consolidado = *yes ? 1 : 0;
      break;
    case 4: date(head.datamoeda); break;
    case 5:
      if (const std::optional<int> n = ReadInteger(trimmed)) head.meses = *n;
      break;
    case 7: {
      const std::optional<int> n = ReadInteger(trimmed.substr(0, trimmed.find(' ')));
      if (n && *n >= 0 && *n <= 9) head.corrmon = *n;
      break;
    }
    case 8: date(head.datadivulgacao); break;
    case 9: date(head.DataUltAlteracao); break;
    case 12: {
      const std::optional<bool> yes = ReadYesNo(trimmed);
      if (!yes) return false;
      TCelulaBal& cell = bal.Celula(key_.periodo, kContaDeclaracao);
      const double value = *yes ? 1 : kMissing;
      if (Valorigual(cell.valor, value)) return false;
      cell.valor = value;
      return true;
    }
    case 18:
    case 19:
    case 21:
    case 22: {
      if (!ContaValida(linha.conta)) return false;
      double value = kMissing;
      if (ReadNumber(trimmed, 1, value) == TNumberRead::kFailed) return false;
      TCelulaBal& cell = bal.Celula(key_.periodo, linha.conta);
      if (Valorigual(cell.valor, value)) return false;
      cell.valor = value;
      return true;
    }
    default: return false;
  }
  return !(head == before);
}

void tBalWin::StoreFieldText(int field, const std::string& text) {
  // A box opened below takes the focus; the commit it may trigger must not store a second time.
  if (storing_) return;
  TScopedValue<bool> storing(storing_, true);
  const std::string typed = text;
  const int col = CurRecord();
  StoreEntry(col, field, typed);
  // The editor shows what the cell holds now: the sum of an expression, or the old value after a
  // refused entry.
  if (col >= 1 && col <= ColumnCount()) SetEditText(col, field, Cell(col, field).text);
}

void tBalWin::StoreEntry(int col, int field, const std::string& typed) {
  if (!NeedColumn(col)) return;
  const std::string text = Calculate(typed);
  const TLinhaFmt* linha = LineOfRow(field);
  if (!linha || !linha->EhConta() || linha->hidden) return;
  TColuna& c = *cols_[static_cast<size_t>(col - 1)];
  TBalanco copy = *c.bal;
  if (!ApplyText(copy, *linha, text)) return;
  const std::string source = NomeDaFonte(key_.source);
  if (copy.head.dataref != c.bal->head.dataref || copy.head.consolidado != c.bal->head.consolidado) {
    const TStmKey key{copy.head.dataref, copy.head.consolidado != 0};
    const int found = FindKey(key, false);
    if (found >= 0 && found != col - 1) {
      ShowErrorBox("Error", DuplicateStatementText(source, key.consolidado, key.dataref));
      return;
    }
  }
  if (c.id != 0 && !c.confirmed) {
    ChkEmpDoUsr(emp_);
    if (!AskYesNo("Confirm", ModifyQuestion(source, copy.head.consolidado != 0, copy.head.dataref), false)) return;
  }
  *c.bal = std::move(copy);
  c.modified = true;
  c.confirmed = true;
  CheckInPlace(c);
  if (view_) {
    view_->ShowStatus();
    view_->RedrawColumn(col);
  }
}

// --- Saving. ---

bool tBalWin::HasDataChanged() const {
  if (LoadFailed()) return false;
  // The pending cell, not the grid's record flag: the columns keep what an accepted entry changed,
  // and a refused one changed nothing.
  if (EditMode() != kNoEdit && EditedText() != InitialText()) return true;
  for (const auto& c : cols_)
    if (c->modified || c->resend) return true;
  return std::any_of(pendingDeletes_.begin(), pendingDeletes_.end(), [](int id) { return id != 0; });
}

bool tBalWin::HasDataError() const {
  return std::any_of(cols_.begin(), cols_.end(), [](const auto& c) {
    return c->bal && c->bal->head.ChecagemFalhou != 0 && !c->bal->head.AceitarFalhaNaChecagem;
  });
}

int tBalWin::SaveColumns() {
  LogaDebug("TBalWin.ODS 0");
  int first = 0;
  auto note = [&first](int code) {
    if (first == 0) first = code;
  };
  for (int& id : pendingDeletes_) {
    if (id == 0) continue;
    int code = 0;
    try {
      code = DbBalDel(id);
    } catch (const EDBException& e) {
      code = e.ErrorCode();
    }
    if (code == 0) id = 0;
    else note(code);
  }
  std::erase(pendingDeletes_, 0);
  LogaDebug("TBalWin.ODS 1");
  for (const auto& c : cols_) {
    if (!c->bal) continue;
    const THeadBal& head = c->bal->head;
    if (c->resend) {
      int code = 0;
      try {
        code = DataLogAdd(kDataLogBalAdd, emp_, c->id, TDateTime{kDay1920 + head.dataref.value},
                          std::to_string(head.consolidado) + "|" + std::to_string(head.sourcedobal));
      } catch (const EDBException& e) {
        code = e.ErrorCode();
      }
      if (code == 0) c->resend = false;
      else note(code);
    }
    if (c->modified) {
      int code = 0;
      try {
        code = DbBalPut(*c->bal, false);
      } catch (const EDBException& e) {
        code = e.ErrorCode();
      }
      if (code == 0) {
        c->id = c->bal->head.id;
        c->modified = false;
        c->confirmed = false;
        // What the check changed is stored now.
        c->changedByCheck = false;
      } else {
        note(code);
      }
    }
  }
  LogaDebug("TBalWin.ODS end");
  return first;
}

bool tBalWin::ObjDataSave() {
  if (!tMdiChildGrid::ObjDataSave()) return false;
  const int code = SaveColumns();
  if (code != 0) db::ShowSqlErrorTxt("TBalWin.ObjDataSave", code);
  if (view_) view_->ShowAll();
  return code == 0;
}

}  // namespace zi::desktop
