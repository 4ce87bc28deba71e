#include "statements/formats.h"

#include <algorithm>
#include <array>

#include "db/batch_row_set.h"
#include "db/connection.h"
#include "statements/relozios.h"
#include "statements/statement.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi {

namespace {

using db::TDataSetHolder;
using db::ZiDb;

constexpr int kSemComando = 3939;
constexpr int kAfbPutExcecao = 3523;
constexpr int kAfbPutFimDaTran = 3999;
constexpr double kRelatorioAcimaDeMs = 5000;
constexpr const char* kLinhasCortadas = " lines beyond 4000 dropped";

void MarcaParte(std::vector<TLinhaFmt>& linhas, size_t parte, size_t total) {
  linhas[parte].pai = static_cast<int32_t>(total + 1);
  linhas[total].temPartes = true;
}

void ProcuraPartesAcima(std::vector<TLinhaFmt>& linhas, size_t i) {
  const int ind = linhas[i].indentacao;
  for (size_t j = i; j-- > 0;) {
    const TLinhaFmt& l = linhas[j];
    if (!l.EhConta() || l.indentacao < ind) return;
    if (l.indentacao > ind) continue;
    const TSinalFmt s = l.Sinal();
    if (s == kSinalIgual) {
      MarcaParte(linhas, j, i);
      return;
    }
    if (s != kSinalNenhum) MarcaParte(linhas, j, i);
  }
}

void ProcuraPartesAbaixo(std::vector<TLinhaFmt>& linhas, size_t i) {
  const int ind = linhas[i].indentacao;
  for (size_t j = i + 1; j < linhas.size(); ++j) {
    const TLinhaFmt& l = linhas[j];
    if (!l.EhConta() || l.indentacao <= ind) return;
    if (l.indentacao == ind + 1) MarcaParte(linhas, j, i);
  }
}

// Each line once; a parent chain that loops (which no scan should make) ends the chain.
void CalculaNiveis(std::vector<TLinhaFmt>& linhas) {
  std::vector<int8_t> estado(linhas.size(), 0);  // 0 to do, 1 on the chain, 2 done
  std::vector<size_t> cadeia;
  for (size_t i = 0; i < linhas.size(); ++i) {
    size_t k = i;
    while (estado[k] == 0) {
      estado[k] = 1;
      cadeia.push_back(k);
      const int32_t pai = linhas[k].pai;
      if (pai == 0 || estado[static_cast<size_t>(pai - 1)] == 1) break;
      k = static_cast<size_t>(pai - 1);
    }
    while (!cadeia.empty()) {
      const size_t c = cadeia.back();
      cadeia.pop_back();
      const int32_t pai = linhas[c].pai;
      linhas[c].nivel = pai == 0 || estado[static_cast<size_t>(pai - 1)] != 2 ? 0 : linhas[static_cast<size_t>(pai - 1)].nivel + 1;
      estado[c] = 2;
    }
  }
}

TLinhaFmt LeLinha(const db::TDbCommand& c) {
  TLinhaFmt l;
  l.fmtbal = c.FieldAsInteger("fmtbal");
  l.seq = c.FieldAsInteger("seq");
  const int tipo = c.FieldAsInteger("tipo");
  l.tipo = static_cast<uint8_t>(tipo >= 0 && tipo < kLinhaOutra ? tipo : static_cast<int>(kLinhaOutra));
  if (l.EhConta()) {
    l.conta = c.FieldAsInteger("conta");
    const int sinal = c.FieldAsInteger("sinal");
    l.sinal = static_cast<uint8_t>(sinal >= 0 && sinal <= 255 ? sinal : static_cast<int>(kSinalNenhum));
    l.indentacao = std::clamp(c.FieldAsInteger("indentacao"), 0, kMaxIndentacao);
    l.anvert = c.FieldAsInteger("anvert");
    l.IdentificacaoDeContas = c.FieldAsInteger("IdentificacaoDeContas");
  } else if (l.tipo == kLinhaTituloBloco && !c.Field("bloco").IsNull()) {
    l.bloco = c.FieldAsInteger("bloco");
  }
  return l;
}

bool Descarta(const ContaBal& conta, bool soPeriodizavel, bool comContasCalcPorFuncao) {
  if (soPeriodizavel &&
      (!conta.Carac(kCaracPeriodizavel) || (conta.comocalcular == 1 && conta.comocalcular_Num == 5)))
    return true;
  return !comContasCalcPorFuncao && conta.comocalcular == 2;
}

int LeLinhas(int id, bool soPeriodizavel, bool comContasCalcPorFuncao, TFormatoBal& formato, TRelozios& relozios) {
  relozios.Start(1, "ApresFBItGet");
  TDataSetHolder c(ZiDb(), "ApresFmtBalItemsGet");
  if (!c) return kSemComando;
  c->SetInteger("@id", id);
  if (const int code = ZiDb().ExecStProc(*c, 2)) return code;
  relozios.Stop(1);
  relozios.Start(2, "while");
  std::vector<TLinhaFmt> linhas;
  for (; !c->Eof(); c->Next()) linhas.push_back(LeLinha(*c));
  if (const int code = OrdenaPorSeq(linhas)) return code;
  for (TLinhaFmt& l : linhas) {
    if (l.EhConta()) {
      relozios.Start(5, "- MeDaContaBal #1");
      const ContaBal conta = MeDaContaBal(l.conta, id);
      relozios.Stop(5);
      if (l.tipo == kLinhaConta && Descarta(conta, soPeriodizavel, comContasCalcPorFuncao)) continue;
      formato.contas.Adiciona(conta);
    }
    if (static_cast<int>(formato.linhas.size()) == kMaxLinhasFmt) {
      Loga("MeDaAFB#" + std::to_string(id) + kLinhasCortadas);
      break;
    }
    formato.linhas.push_back(l);
  }
  relozios.Stop(2);
  return 0;
}

}  // namespace

int OrdenaPorSeq(std::vector<TLinhaFmt>& linhas) {
  std::stable_sort(linhas.begin(), linhas.end(), [](const TLinhaFmt& a, const TLinhaFmt& b) { return a.seq < b.seq; });
  const auto repetida =
      std::adjacent_find(linhas.begin(), linhas.end(), [](const TLinhaFmt& a, const TLinhaFmt& b) { return a.seq == b.seq; });
  return repetida == linhas.end() ? 0 : kFormatDuplicateSeq;
}

const char* PrefixoDoSinal(int sinal) {
  static constexpr std::array<const char*, 5> kPrefixos = {"", "=", "+", "+/-", "-"};
  return sinal >= 0 && sinal < static_cast<int>(kPrefixos.size()) ? kPrefixos[static_cast<size_t>(sinal)] : "";
}

void CalculaArvore(TFormatoBal& formato, const TInfoDeContas& contas) {
  std::vector<TLinhaFmt>& linhas = formato.linhas;
  for (TLinhaFmt& l : linhas) {
    l.pai = 0;
    l.temPartes = false;
    l.hidden = false;
  }
  for (size_t i = 0; i < linhas.size(); ++i) {
    if (!linhas[i].EhConta()) continue;
    if (linhas[i].Sinal() == kSinalIgual) ProcuraPartesAcima(linhas, i);
    else ProcuraPartesAbaixo(linhas, i);
    const ContaBal* conta = contas.Conta(linhas[i].conta);
    linhas[i].hidden = conta && conta->HideNoZorInput;
  }
  CalculaNiveis(linhas);
}

int DbLeFormatoBal(int id, bool soPeriodizavel, bool comContasCalcPorFuncao, TFormatoBal& formato) {
  formato.Limpa();
  formato.id = id;
  TRelozios relozios("MeDaAFB");
  int code = 0;
  try {
    code = LeLinhas(id, soPeriodizavel, comContasCalcPorFuncao, formato, relozios);
    if (code == 0) {
      relozios.Start(20, "COFDDA Init");
      CalculaArvore(formato, formato.contas);
      relozios.Stop(20);
    }
  } catch (const std::exception& e) {
    ReportExceptionWithCode("MeDaAFB#" + std::to_string(id), code, e, kSemComando);
  }
  if (code != 0) {
    formato.Limpa();
    Loga("MeDaAFB#" + std::to_string(id) + (soPeriodizavel ? " SoPer" : "") +
         (comContasCalcPorFuncao ? " ComCPFunc" : "") + " erro:" + std::to_string(code));
  }
  if (TemParam("LI") || relozios.MainMs() > kRelatorioAcimaDeMs) {
    relozios.Report("MeDaAFB#" + std::to_string(id));
  } else {
    relozios.Descarta();
  }
  return code;
}

int DbContaBalGetBlocoPadraoNaDigitacao(std::vector<int>& ids) {
  ids.clear();
  TDataSetHolder c(ZiDb(), "ContaBalGetBlocoPadraoNaDigitacao");
  if (!c) return kSemComando;
  if (const int code = ZiDb().ExecStProc(*c, 2)) return code;
  for (; !c->Eof(); c->Next()) ids.push_back(db::ValueAsInteger(c->FieldByIndex(0)));
  return 0;
}

void InsereLinhasPadraoNaDigitacao(TFormatoBal& formato, const std::vector<int>& ids, bool semCampoDoHeader5) {
  if (ids.empty()) return;
  std::vector<TLinhaFmt> novas;
  for (int id : ids) {
    const ContaBal conta = MeDaContaBal(id, -1);
    if (semCampoDoHeader5 && conta.comocalcular == 1 && conta.comocalcular_Num == 5) continue;
    formato.contas.Adiciona(conta);
    novas.push_back({.fmtbal = formato.id, .tipo = kLinhaConta, .conta = id});
  }
  novas.push_back({.fmtbal = formato.id, .tipo = kLinhaSeparador});
  formato.linhas.insert(formato.linhas.begin(), novas.begin(), novas.end());
  if (formato.linhas.size() > static_cast<size_t>(kMaxLinhasFmt)) formato.linhas.resize(kMaxLinhasFmt);
  CalculaArvore(formato, formato.contas);
}

int DbApresFormatoBalPut(const TFormatoBal& formato) {
  db::TAdoDataBaseComInfoTran& zi = ZiDb();
  db::TTransactionGuard tran(zi);
  if (tran.Code() != 0) return tran.Code();
  int code = 0;
  try {
    db::TBatchRowSet rows(zi, "ApresFmtBalItems", {"fmtbal", "seq"});
    code = rows.Open("select * from ApresFmtBalItems where [fmtbal]=" + std::to_string(formato.id));
    const int count = static_cast<int>(formato.linhas.size());
    std::vector<bool> seen(static_cast<size_t>(count) + 1, false);
    auto escreve = [&](auto&& set, const TLinhaFmt& l) {
      set("tipo", DbValue(static_cast<int>(l.tipo)));
      set("conta", DbValue(l.conta));
      set("sinal", DbValue(static_cast<int>(l.sinal)));
      set("indentacao", DbValue(l.indentacao));
      set("anvert", DbValue(l.anvert));
      set("IdentificacaoDeContas", DbValue(l.IdentificacaoDeContas));
      for (const char* flag : {"hidden", "cafecomleite", "NaoPodeCalcular", "NaoPodeDigitar"}) set(flag, DbValue(false));
      set("bloco", l.tipo == kLinhaTituloBloco ? DbValue(l.bloco) : DbValue());
      set("IndTituloCarteira", l.tipo == kLinhaCarteira ? DbValue(l.IndTituloCarteira) : DbValue());
      set("IndTipoCarteira", l.tipo == kLinhaCarteira ? DbValue(l.IndTipoCarteira) : DbValue());
    };
    for (int r = 0; code == 0 && r < rows.RowCount(); ++r) {
      const DbValue& seqValue = rows.Value(r, "seq");
      const int64_t seq = seqValue.Type() == DbType::Integer ? seqValue.AsInteger() : 0;
      if (seq < 1 || seq > count) {
        rows.Delete(r);
        continue;
      }
      seen[static_cast<size_t>(seq)] = true;
      escreve([&](const char* column, DbValue v) { rows.SetValue(r, column, std::move(v)); },
              formato.linhas[static_cast<size_t>(seq - 1)]);
    }
    for (int seq = 1; code == 0 && seq <= count; ++seq) {
      if (seen[static_cast<size_t>(seq)]) continue;
      std::map<std::string, DbValue> values = {{"fmtbal", formato.id}, {"seq", seq}};
      escreve([&](const char* column, DbValue v) { values[column] = std::move(v); },
              formato.linhas[static_cast<size_t>(seq - 1)]);
      rows.Insert(std::move(values));
    }
    if (code == 0) rows.UpdateBatch();
  } catch (const std::exception& e) {
    ReportExceptionWithCode("DbApresFormatoBalPut", code, e, kAfbPutExcecao);
  }
  if (code != 0) {
    static_cast<void>(tran.Rollback());
    return code;
  }
  if (const int fim = tran.Commit()) {
    Loga("AFBPut end tran erro:" + std::to_string(fim));
    return fim;
  }
  return 0;
}

int DbFormatoBalPut(int id, int pais, const std::string& nome, const std::string& nomeExtenso, int flags) {
  TDataSetHolder c(ZiDb(), "FormatoBalPut");
  if (!c) return kSemComando;
  c->SetInteger("@id", id);
  c->SetInteger("@pais", pais);
  c->SetText("@nome", nome);
  c->SetText("@nome_extenso", nomeExtenso);
  c->SetInteger("@flags", flags);
  return ZiDb().ExecStProc(*c, 0);
}

std::string NomeDaConta(int id, const TInfoDeContas& contas) {
  const ContaBal* conta = contas.Conta(id);
  if (conta && !conta->Nome_Extenso.empty()) return conta->Nome_Extenso;
  if (conta && !conta->Nome_Compacto.empty()) return conta->Nome_Compacto;
  return "Account #" + std::to_string(id);
}

std::string LabelDaLinha(const TLinhaFmt& linha, const TInfoDeContas& contas, bool comIndentacao,
                         const std::string& nomeDoBloco) {
  if (linha.tipo == kLinhaTituloBloco) return nomeDoBloco;
  if (!linha.EhConta()) return {};
  std::string label;
  if (comIndentacao) {
    label.assign(static_cast<size_t>(2 * std::clamp(linha.indentacao, 0, kMaxIndentacao)), ' ');
    label += PrefixoDoSinal(linha.sinal);
  }
  return label + NomeDaConta(linha.conta, contas);
}

}  // namespace zi
