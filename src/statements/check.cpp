#include "statements/check.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <fmt/format.h>

namespace zi {

namespace {

constexpr const char kNul = '\0';

double DivisorValido(double divisor) { return std::isnan(divisor) || divisor <= 0 ? 1.0 : divisor; }

// Digits with thousands separators and the given decimals.
std::string ComMilhares(double value, int decimais) {
  std::string text = fmt::format("{:.{}f}", std::fabs(value), std::clamp(decimais, 0, 15));
  const size_t ponto = std::min(text.find('.'), text.size());
  for (size_t i = ponto; i > 3; i -= 3) text.insert(i - 3, ",");
  return (value < 0 ? "-" : "") + text;
}

}  // namespace

// Division of doubles raises nothing here: an infinite or NaN ratio simply fails the comparison.
bool Valorigual(double a, double b) {
  if (IsMissing(b)) return IsMissing(a);
  if (IsMissing(a)) return false;
  if (b == a) return true;
  const double ratio = a != 0 ? b / a : 0;
  if (ratio >= 0.99999999 && ratio <= 1.00000001) return true;
  return std::fabs(b) <= 1e-8 && std::fabs(a) <= 1e-8;
}

TChecagemBal::TChecagemBal(const TFormatoBal& formato, const TInfoDeContas& contas, bool ordemLiteral)
    : formato_(formato), contas_(contas) {
  const auto& linhas = formato.linhas;
  const int32_t n = static_cast<int32_t>(linhas.size());
  familiaDaLinha_.assign(static_cast<size_t>(n), -1);
  grupoDaLinha_.assign(static_cast<size_t>(n), -1);
  estado_.resize(static_cast<size_t>(n));
  std::vector<std::pair<int32_t, int32_t>> lista;  // (family, level), one per part
  for (int32_t i = 0; i < n; ++i) {
    const int32_t pai = linhas[static_cast<size_t>(i)].pai;
    if (pai < 1 || pai > n || !EhConta(i) || !EhConta(pai - 1)) continue;
    int32_t& f = familiaDaLinha_[static_cast<size_t>(pai - 1)];
    if (f < 0) {
      f = static_cast<int32_t>(familias_.size());
      familias_.push_back({.linha = pai - 1});
    }
    Familia& familia = familias_[static_cast<size_t>(f)];
    const TSinalFmt sinal = linhas[static_cast<size_t>(i)].Sinal();
    if (sinal == kSinalIgual && familia.base < 0) {
      familia.base = i;
    } else {
      if ((sinal == kSinalMais || sinal == kSinalMenos) && familia.partes.empty() && familia.base < 0) {
        const bool acimaEhContaArmazenada = i > 0 && EhConta(i - 1) && [&] {
          const ContaBal* conta = contas.Conta(linhas[static_cast<size_t>(i - 1)].conta);
          return conta && conta->comocalcular == 0;
        }();
        familia.umaParte = !acimaEhContaArmazenada;
      }
      familia.partes.push_back(i);
    }
    lista.emplace_back(f, linhas[static_cast<size_t>(pai - 1)].nivel);
  }
  std::stable_sort(lista.begin(), lista.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  std::vector<uint8_t> naLista(familias_.size(), 0);
  for (const auto& [f, nivel] : lista) {
    if (!ordemLiteral && naLista[static_cast<size_t>(f)]) continue;
    naLista[static_cast<size_t>(f)] = 1;
    ordem_.push_back(f);
  }
  std::map<int32_t, int32_t> grupoDoId;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t id = linhas[static_cast<size_t>(i)].IdentificacaoDeContas;
    if (id == 0 || !EhConta(i)) continue;
    auto [it, novo] = grupoDoId.emplace(id, static_cast<int32_t>(grupos_.size()));
    if (novo) grupos_.emplace_back();
    grupos_[static_cast<size_t>(it->second)].push_back(i);
  }
  for (size_t g = 0; g < grupos_.size(); ++g) {
    if (grupos_[g].size() < 2) continue;
    for (int32_t i : grupos_[g]) grupoDaLinha_[static_cast<size_t>(i)] = static_cast<int32_t>(g);
  }
}

bool TChecagemBal::EhConta(int32_t i) const {
  const TLinhaFmt& l = formato_.linhas[static_cast<size_t>(i)];
  return l.EhConta() && ContaValida(l.conta);
}

double TChecagemBal::Valor(int32_t i) const {
  const Estado& e = estado_[static_cast<size_t>(i)];
  return e.hasStored ? e.stored : e.hasCalc ? e.calc : kMissing;
}

bool TChecagemBal::Oferece(int32_t i, double x) {
  Estado& e = estado_[static_cast<size_t>(i)];
  if (IsMissing(x)) {
    e.erro = true;
    return false;
  }
  if (e.hasCalc) {
    if (!Valorigual(e.calc, x)) e.erro = true;
    return false;
  }
  if (e.hasStored && Valorigual(e.stored, x)) return false;
  e.calc = x;
  e.hasCalc = true;
  if (e.hasStored) e.erro = true;
  return true;
}

bool TChecagemBal::PassoDeSoma() {
  bool mudou = false;
  for (size_t k = ordem_.size(); k-- > 0;) {
    const Familia& f = familias_[static_cast<size_t>(ordem_[k])];
    double soma = kMissing;
    bool faltou = false;
    auto soma1 = [&](int32_t parte, bool negativo) {
      const double v = Valor(parte);
      if (IsMissing(v)) {
        faltou = true;
        return;
      }
      soma = (IsMissing(soma) ? 0.0 : soma) + (negativo ? -v : v);
    };
    if (f.base >= 0) soma1(f.base, false);
    for (int32_t p : f.partes) soma1(p, formato_.linhas[static_cast<size_t>(p)].Sinal() == kSinalMenos);
    if (IsMissing(soma)) continue;
    mudou |= Oferece(f.linha, soma);
    if (!faltou) continue;
    if (f.base >= 0 && IsMissing(Valor(f.base))) mudou |= Oferece(f.base, 0.0);
    for (int32_t p : f.partes) {
      if (IsMissing(Valor(p))) mudou |= Oferece(p, 0.0);
    }
  }
  return mudou;
}

bool TChecagemBal::PassoDeZeros() {
  bool mudou = false;
  for (int32_t fi : ordem_) {
    const Familia& f = familias_[static_cast<size_t>(fi)];
    if (f.base >= 0 || f.umaParte || !Valorigual(Valor(f.linha), 0.0)) continue;
    const bool algumValor =
        std::any_of(f.partes.begin(), f.partes.end(), [&](int32_t p) { return !IsMissing(Valor(p)); });
    if (algumValor) continue;
    for (int32_t p : f.partes) mudou |= Oferece(p, 0.0);
  }
  return mudou;
}

bool TChecagemBal::Confiavel(int32_t i) const {
  const Estado& e = estado_[static_cast<size_t>(i)];
  return EhConta(i) && (e.hasStored || e.consistente) && !e.erro;
}

void TChecagemBal::Preenche(TBalanco& bal, int periodo) {
  std::vector<uint8_t> visto(estado_.size(), 0);
  std::vector<int32_t> pilha;
  for (const Familia& f : familias_) {
    if (!Confiavel(f.linha)) continue;
    if (f.base >= 0 && !f.umaParte && !Confiavel(f.base)) continue;
    pilha.push_back(f.linha);
    while (!pilha.empty()) {
      const int32_t i = pilha.back();
      pilha.pop_back();
      if (visto[static_cast<size_t>(i)]) continue;
      visto[static_cast<size_t>(i)] = 1;
      const Estado& e = estado_[static_cast<size_t>(i)];
      TCelulaBal& cell = bal.Celula(periodo, formato_.linhas[static_cast<size_t>(i)].conta);
      if (cell.CalcOuRx || IsMissing(cell.valor)) {
        if (e.hasStored) cell = {e.stored, false, cell.erro};
        else if (e.hasCalc) cell = {e.calc, true, cell.erro};
        else cell = {kMissing, false, cell.erro};
      }
      const int32_t fi = familiaDaLinha_[static_cast<size_t>(i)];
      if (fi < 0) continue;
      const Familia& parts = familias_[static_cast<size_t>(fi)];
      if (parts.base >= 0 && !estado_[static_cast<size_t>(parts.base)].erro) pilha.push_back(parts.base);
      for (int32_t p : parts.partes) {
        if (!estado_[static_cast<size_t>(p)].erro) pilha.push_back(p);
      }
    }
  }
}

std::string TChecagemBal::Descreve(int32_t i, double divisor, std::vector<uint8_t>& descrito) const {
  const TLinhaFmt& l = formato_.linhas[static_cast<size_t>(i)];
  const std::string nome = NomeDaConta(l.conta, contas_);
  if (l.IdentificacaoDeContas == 0) return nome + ":" + kNul + "missing" + kNul;
  std::string texto = nome + ":" + NumeroSimples(Valor(i) / divisor);
  const int32_t g = grupoDaLinha_[static_cast<size_t>(i)];
  if (g < 0) return texto;
  for (int32_t outra : grupos_[static_cast<size_t>(g)]) {
    if (outra == i || Valorigual(Valor(outra), Valor(i))) continue;
    texto += std::string(" ") + kNul + "different from" + kNul + " " +
             NomeDaConta(formato_.linhas[static_cast<size_t>(outra)].conta, contas_) + ":" +
             NumeroSimples(Valor(outra) / divisor);
    descrito[static_cast<size_t>(outra)] = 1;
    break;
  }
  return texto;
}

TResultadoChecagem TChecagemBal::Checa(TBalanco& bal, int periodo, double divisor, TBalanco* calculado) {
  TResultadoChecagem resultado;
  divisor = DivisorValido(divisor);
  const auto& linhas = formato_.linhas;
  const int32_t n = static_cast<int32_t>(linhas.size());
  for (int32_t i = 0; i < n; ++i) {
    Estado& e = estado_[static_cast<size_t>(i)];
    e = {};
    if (!EhConta(i)) continue;
    const TCelulaBal& cell = bal.Celula(periodo, linhas[static_cast<size_t>(i)].conta);
    if (!IsMissing(cell.valor) && !cell.CalcOuRx) {
      e.stored = cell.valor;
      e.hasStored = true;
    }
  }
  for (int conta = 1; conta <= kMaxContaBal; ++conta) {
    TCelulaBal& cell = bal.Celula(periodo, conta);
    if (cell.CalcOuRx) cell = {};
    cell.erro = false;
  }
  bal.head.ChecagemFalhou = 0;

  for (bool mudou = true; mudou;) {
    mudou = false;
    while (PassoDeSoma()) mudou = true;
    while (PassoDeZeros()) mudou = true;
  }

  for (int32_t i = 0; i < n; ++i) {
    const TLinhaFmt& l = linhas[static_cast<size_t>(i)];
    Estado& e = estado_[static_cast<size_t>(i)];
    if (EhConta(i) && l.pai == 0 && l.temPartes && !e.hasStored && e.hasCalc && l.IdentificacaoDeContas == 0 &&
        !l.hidden)
      e.erro = true;
  }

  int grau = 0;
  if (bal.head.meses <= 0) {
    resultado.semMeses = true;
    grau = 2;
  }
  if (bal.head.datamoeda.IsNoDate()) grau = 2;

  for (const std::vector<int32_t>& grupo : grupos_) {
    if (grupo.size() < 2) continue;
    const double primeiro = Valor(grupo.front());
    const bool concordam =
        std::all_of(grupo.begin(), grupo.end(), [&](int32_t i) { return Valorigual(Valor(i), primeiro); });
    for (int32_t i : grupo) (concordam ? estado_[static_cast<size_t>(i)].consistente : estado_[static_cast<size_t>(i)].erro) = true;
  }

  Preenche(bal, periodo);

  bool incompleto = false;
  for (int32_t i = 0; i < n; ++i) {
    if (EhConta(i) && linhas[static_cast<size_t>(i)].IdentificacaoDeContas != 0 &&
        IsMissing(bal.Valor(periodo, linhas[static_cast<size_t>(i)].conta)))
      incompleto = true;
  }
  bal.head.Incompleto = incompleto;

  std::vector<uint8_t> descrito(static_cast<size_t>(n), 0);
  for (int32_t i = 0; i < n; ++i) {
    const Estado& e = estado_[static_cast<size_t>(i)];
    if (!EhConta(i) || !e.erro) continue;
    const TLinhaFmt& l = linhas[static_cast<size_t>(i)];
    bal.Celula(periodo, l.conta).erro = true;
    if (l.pai != 0 || !l.temPartes || e.hasStored) {
      grau = 2;
      continue;
    }
    grau = std::max(grau, 1);
    if (descrito[static_cast<size_t>(i)]) continue;
    descrito[static_cast<size_t>(i)] = 1;
    resultado.texto += resultado.texto.empty() ? "  " : "    ";
    resultado.texto += Descreve(i, divisor, descrito);
  }
  bal.head.ChecagemFalhou = grau;
  if (grau == 0) bal.head.AceitarFalhaNaChecagem = false;

  if (calculado) {
    calculado->Limpa();
    for (int32_t i = 0; i < n; ++i) {
      if (!EhConta(i)) continue;
      const Estado& e = estado_[static_cast<size_t>(i)];
      TCelulaBal& cell = calculado->Celula(periodo, linhas[static_cast<size_t>(i)].conta);
      if (e.hasCalc && !(e.hasStored && Valorigual(e.stored, e.calc))) cell = {e.calc, true, false};
      else if (e.hasStored) cell = {e.stored, false, false};
    }
  }
  return resultado;
}

std::string TextoDaCelula(const TBalanco& a, const TBalanco& b, int conta, int periodo, int decimais, double divisor) {
  if (!ContaValida(conta) || !PeriodoValido(periodo)) return {};
  divisor = DivisorValido(divisor);
  const TCelulaBal& ca = a.Celula(periodo, conta);
  const TCelulaBal& cb = b.Celula(periodo, conta);
  if (ca.erro && !IsMissing(ca.valor) && !IsMissing(cb.valor) && ca.valor != cb.valor) {
    const double diferenca = std::fabs(cb.valor - ca.valor) / divisor;
    return std::string("Error :  ") + kNul + "difference" + kNul + ":" + ComMilhares(diferenca, decimais) +
           " half:" + ComMilhares(diferenca * 0.5, decimais);
  }
  if (!ca.CalcOuRx && IsMissing(ca.valor) && cb.CalcOuRx && !IsMissing(cb.valor) && cb.valor != 0) {
    return "Calculated : " + ComMilhares(cb.valor / divisor, decimais);
  }
  return {};
}

}  // namespace zi
