#pragma once
// The NAICS industry codes: sectors (two digits), subsectors (three) and industry groups (four) of
// the 2012 classification, with their titles in the session's languages and the hierarchy that the
// import's *NAICSIF respects.

#include <array>
#include <string>
#include <vector>

namespace zi {

// The table of the 431 codes with their titles, built once per process from the compiled-in data.
class NaicsTable {
 public:
  static const NaicsTable& Get();

  bool Valido(int codigo) const;
  // Windows-1252 text in the session language (0 Portuguese, 1 English, 2 Spanish); empty for a code
  // outside the table or any other language.
  std::string Titulo(int codigo, int lingua) const;
  // The table's codes whose parent is codigo, ascending; for 0, the sectors.
  const std::vector<int>& Filhos(int codigo) const;
  // Every code, ascending.
  const std::vector<int>& Codigos() const { return codigos_; }

 private:
  NaicsTable();

  std::vector<int> codigos_;
  std::vector<std::array<std::string, 3>> titulos_;  // by position in codigos_
  std::vector<std::vector<int>> filhos_;             // by position in codigos_
  std::vector<int> setores_;
};

// Whether the table holds the code.
bool NaicsValido(int codigo);
// The title of NaicsTable::Titulo.
std::string NaicsTitulo(int codigo, int lingua);
// The parent of a code: 0 below 100; otherwise the code without its last digit, the manufacturing,
// retail and transportation sectors counting as 31, 44 and 48.
int NaicsPai(int codigo);
// Whether dentroDe is the code itself or one of its ancestors.
bool NaicsDentroDe(int codigo, int dentroDe);
// 1 for a sector's number (1..99), 2 for a subsector's (100..999), 3 for an industry group's
// (1000..9999), 0 otherwise.
int NivelDoCodigo(int codigo);

}  // namespace zi
