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

// The code at pos: one to four digits, no leading zero; 0 when there is none. Leaves pos after it.
constexpr int LeCodigo(std::string_view texto, size_t& pos) {
  const char* c = texto.data();
  const size_t inicio = pos;
  int codigo = 0;
  for (; pos < texto.size() && c[pos] >= '0' && c[pos] <= '9'; ++pos) {
    if (pos - inicio == 4) return 0;
    codigo = codigo * 10 + (c[pos] - '0');
  }
  return pos == inicio || c[inicio] == '0' ? 0 : codigo;
}

// The title at pos, up to the next tab or line end, where it leaves pos; empty when it holds a
// control character.
constexpr std::string_view LeTitulo(std::string_view texto, size_t& pos) {
  const char* c = texto.data();
  const size_t inicio = pos;
  for (; pos < texto.size() && c[pos] != '\t' && c[pos] != '\n'; ++pos) {
    if (static_cast<unsigned char>(c[pos]) < 0x20) return {};
  }
  return texto.substr(inicio, pos - inicio);
}

}  // namespace naics_tsv

// Calls each(row) for every row in order; false at the first malformed line (stopping there): a
// missing or empty title, a control character, a code that is not above the previous one. One pass
// over the text, by pointer rather than by the checked operator[], to stay well within the
// compilers' budgets for constant evaluation.
template <class F>
constexpr bool LeNaicsTsv(std::string_view texto, F&& each) {
  const char* c = texto.data();
  int anterior = 0;
  size_t pos = 0;
  while (pos < texto.size()) {
    if (c[pos] == '#') {
      pos = texto.find('\n', pos);
      if (pos == std::string_view::npos) break;
      ++pos;
      continue;
    }
    TNaicsLinha row;
    row.codigo = naics_tsv::LeCodigo(texto, pos);
    if (row.codigo <= anterior) return false;
    for (size_t lingua = 0; lingua < row.titulos.size(); ++lingua) {
      if (pos >= texto.size() || c[pos] != '\t') return false;
      row.titulos[lingua] = naics_tsv::LeTitulo(texto, ++pos);
      if (row.titulos[lingua].empty()) return false;
    }
    if (pos < texto.size() && c[pos] != '\n') return false;
    ++pos;
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
