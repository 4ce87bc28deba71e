#pragma once
// The NAICS table's text, compiled in from naics_2012.tsv: lines starting with '#' are notes; every
// other line is the code, a tab, and the Portuguese, English and Spanish titles separated by tabs,
// codes ascending. The reader is constexpr so that a malformed file fails the build.

#include <array>
#include <string_view>

namespace zi {

inline constexpr int kNaicsLinguas = 3;
inline constexpr int kNaicsCodigos = 431;

struct TNaicsLinha {
  int codigo = 0;
  std::array<std::string_view, kNaicsLinguas> titulos;  // UTF-8, by session language
};

// The whole file as compiled in.
std::string_view NaicsTsv();

namespace naics_tsv {

constexpr bool CampoValido(std::string_view campo) {
  if (campo.empty()) return false;
  for (char c : campo) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

// The code at the start of a line: one to four digits, no leading zero; 0 when there is none.
constexpr int LeCodigo(std::string_view linha, size_t& pos) {
  int codigo = 0;
  for (pos = 0; pos < linha.size() && linha[pos] >= '0' && linha[pos] <= '9'; ++pos) {
    if (pos == 4) return 0;
    codigo = codigo * 10 + (linha[pos] - '0');
  }
  return pos == 0 || linha[0] == '0' ? 0 : codigo;
}

}  // namespace naics_tsv

// Calls each(row) for every row in order; false at the first malformed line (stopping there): a
// missing or empty title, a control character, a code that is not above the previous one.
template <class F>
constexpr bool LeNaicsTsv(std::string_view texto, F&& each) {
  int anterior = 0;
  while (!texto.empty()) {
    const size_t fim = texto.find('\n');
    const std::string_view linha = texto.substr(0, fim);
    texto = fim == std::string_view::npos ? std::string_view{} : texto.substr(fim + 1);
    if (linha.starts_with('#')) continue;
    TNaicsLinha row;
    size_t pos = 0;
    row.codigo = naics_tsv::LeCodigo(linha, pos);
    if (row.codigo <= anterior || pos >= linha.size() || linha[pos] != '\t') return false;
    for (int lingua = 0; lingua < kNaicsLinguas; ++lingua) {
      const size_t inicio = pos + 1;
      pos = lingua + 1 < kNaicsLinguas ? linha.find('\t', inicio) : linha.size();
      if (pos == std::string_view::npos) return false;
      const std::string_view campo = linha.substr(inicio, pos - inicio);
      if (!naics_tsv::CampoValido(campo)) return false;
      row.titulos[static_cast<size_t>(lingua)] = campo;
    }
    anterior = row.codigo;
    each(row);
  }
  return true;
}

// The number of rows, or -1 when a line is malformed.
constexpr int ContaNaicsTsv(std::string_view texto) {
  int linhas = 0;
  return LeNaicsTsv(texto, [&linhas](const TNaicsLinha&) { ++linhas; }) ? linhas : -1;
}

}  // namespace zi
