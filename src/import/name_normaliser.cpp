#include "import/name_normaliser.h"

#include <algorithm>

#include "db/connection.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kNoCommand = 3939;

// Longest key first; among keys of one length, in alphabetical order whatever the case.
bool AntesNaTabela(const TNormalizadorDeNomes::Entrada& a, const TNormalizadorDeNomes::Entrada& b) {
  if (a.chave.size() != b.chave.size()) return a.chave.size() > b.chave.size();
  const std::string x = LowerCp1252(a.chave), y = LowerCp1252(b.chave);
  return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
    return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
  });
}

std::vector<TNormalizadorDeNomes::Entrada> Tabela(const std::vector<std::pair<std::string, std::string>>& entradas,
                                                  bool comValores) {
  std::vector<TNormalizadorDeNomes::Entrada> tabela;
  for (const auto& [chave, valor] : entradas) {
    const std::string minuscula = LowerCp1252(Trim(chave));
    // An empty key occurs everywhere: the passes would find it for ever.
    if (minuscula.empty()) continue;
    tabela.push_back({minuscula, comValores ? Trim(valor) : Trim(chave)});
  }
  std::stable_sort(tabela.begin(), tabela.end(), AntesNaTabela);
  return tabela;
}

bool Limite(std::string_view texto, size_t posicao) {
  return posicao >= texto.size() || !IsLetterOrDigitCp1252(texto[posicao]);
}

// The leftmost occurrence of the key whose characters around it are not letters or digits.
size_t OcorrenciaIsolada(std::string_view texto, std::string_view chave) {
  for (size_t at = texto.find(chave); at != std::string_view::npos; at = texto.find(chave, at + 1)) {
    if ((at == 0 || Limite(texto, at - 1)) && Limite(texto, at + chave.size())) return at;
  }
  return std::string_view::npos;
}

// The first entry of the table (the longest key) that occurs isolated, and where.
const TNormalizadorDeNomes::Entrada* Procura(const std::vector<TNormalizadorDeNomes::Entrada>& tabela,
                                             std::string_view texto, size_t& onde) {
  for (const TNormalizadorDeNomes::Entrada& entrada : tabela) {
    onde = OcorrenciaIsolada(texto, entrada.chave);
    if (onde != std::string_view::npos) return &entrada;
  }
  return nullptr;
}

std::string Minusculas(std::string_view nome) {
  std::string texto = LowerCp1252(nome);
  for (char& c : texto) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 0x93 || b == 0x94) c = '"';
    else if (b == 0x96 || b == 0x97) c = '-';
  }
  return texto;
}

}  // namespace

int TListaStringsAbrev::Carrega(int pais, int tipo) {
  entradas_.clear();
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), "BufPorPaisGet");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger("@pais", pais);
    ds->SetInteger("@tipo", tipo);
    code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0) LeTexto(ds->ParamAsText("@conteudo"));
  } catch (const std::exception& e) {
    ReportExceptionWithCode("BufPorPaisGet", code, e, kNoCommand);
  }
  return code == kListaPorPaisVazia ? 0 : code;
}

void TListaStringsAbrev::LeTexto(std::string_view texto) {
  entradas_.clear();
  size_t inicio = 0;
  while (inicio <= texto.size()) {
    size_t fim = texto.find_first_of("\r\n", inicio);
    if (fim == std::string_view::npos) fim = texto.size();
    const std::string_view linha = texto.substr(inicio, fim - inicio);
    inicio = fim + 1;
    if (Trim(linha).empty()) continue;
    const size_t igual = linha.find('=');
    if (igual == std::string_view::npos) entradas_.emplace_back(Trim(linha), "");
    else entradas_.emplace_back(Trim(linha.substr(0, igual)), Trim(linha.substr(igual + 1)));
  }
  std::stable_sort(entradas_.begin(), entradas_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

int TNormalizadorDeNomes::Carrega(int pais) {
  carregado_ = false;
  TListaStringsAbrev abreviacoes;
  TListaStringsAbrev casos;
  if (abreviacoes.Carrega(pais, kListaDeAbreviacoes) != 0) return kNormalizadorSemAbreviacoes;
  if (casos.Carrega(pais, kListaDeCasos) != 0) return kNormalizadorSemCasos;
  Monta(abreviacoes.Entradas(), casos.Entradas());
  pais_ = pais;
  return 0;
}

void TNormalizadorDeNomes::Monta(const std::vector<std::pair<std::string, std::string>>& abreviacoes,
                                 const std::vector<std::pair<std::string, std::string>>& casos) {
  abreviacoes_ = Tabela(abreviacoes, true);
  casos_ = Tabela(casos, false);
  carregado_ = true;
}

std::string TNormalizadorDeNomes::Normaliza(std::string_view nome) const {
  return Trim(PassoDeAbreviacao(Minusculas(nome), 0));
}

std::string TNormalizadorDeNomes::PassoDeAbreviacao(std::string_view texto, size_t inicio) const {
  size_t onde = 0;
  const Entrada* entrada = Procura(abreviacoes_, texto, onde);
  if (!entrada) return PassoDeCaso(texto, inicio);
  const size_t depois = onde + entrada->chave.size();
  return PassoDeAbreviacao(texto.substr(0, onde), inicio) + entrada->substituto +
         PassoDeAbreviacao(texto.substr(depois), inicio + depois);
}

std::string TNormalizadorDeNomes::PassoDeCaso(std::string_view texto, size_t inicio) const {
  size_t onde = 0;
  const Entrada* entrada = Procura(casos_, texto, onde);
  if (!entrada) return CapitalizacaoPadrao(texto);
  std::string palavra = entrada->substituto;
  if (inicio + onde == 0 && palavra == LowerCp1252(palavra))
    palavra = UpperCp1252(palavra.substr(0, 1)) + palavra.substr(1);
  const size_t depois = onde + entrada->chave.size();
  return PassoDeCaso(texto.substr(0, onde), inicio) + palavra + PassoDeCaso(texto.substr(depois), inicio + depois);
}

std::string CapitalizacaoPadrao(std::string_view texto) {
  std::string saida;
  bool naPalavra = false;
  for (size_t i = 0; i < texto.size(); ++i) {
    const char c = texto[i];
    if (IsLetterOrDigitCp1252(c)) {
      saida += naPalavra ? std::string(1, c) : UpperCp1252(std::string_view(&c, 1));
      naPalavra = true;
      continue;
    }
    naPalavra = false;
    if (i == 0 || texto[i - 1] != c) saida += c;
  }
  return saida;
}

std::string NormalizaNome(TNormalizadorDeNomes& normalizador, int pais, std::string_view nome) {
  try {
    if (!normalizador.Carregado() || normalizador.Pais() != pais) {
      if (const int code = normalizador.Carrega(pais)) {
        LogaFormat("Warn:%d pais:%d nome:[%s]", code, pais, std::string(nome));
        return std::string(nome);
      }
    }
    return normalizador.Normaliza(nome);
  } catch (const std::exception& e) {
    LogaFormat("Warn:%d pais:%d nome:[%s] exception:[%s]%s", kNormalizadorExcecao, pais, std::string(nome),
               ExceptionClassName(e), std::string(e.what()));
    return std::string(nome);
  }
}

}  // namespace zi
