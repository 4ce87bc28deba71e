#include "catalogue/naics.h"

#include <algorithm>

#include "catalogue/naics_tsv.h"
#include "toolbox/codec.h"

namespace zi {

namespace {

// Codes of any length have a parent, so that a company holding a code more detailed than the table
// still finds its ancestors; the chain ends in a sector within a few steps.
constexpr int kMaxPassos = 10;

const std::vector<int> kNenhum;

}  // namespace

NaicsTable::NaicsTable() {
  LeNaicsTsv(NaicsTsv(), [this](const TNaicsLinha& linha) {
    codigos_.push_back(linha.codigo);
    std::array<std::string, kNaicsLinguas> titulos;
    for (size_t lingua = 0; lingua < titulos.size(); ++lingua) {
      // The build admits any UTF-8; a title Windows-1252 cannot hold stays empty and fails the tests.
      titulos[lingua] = Utf8ToCp1252(linha.titulos[lingua]).value_or("");
    }
    titulos_.push_back(std::move(titulos));
  });
  filhos_.resize(codigos_.size());
  for (int codigo : codigos_) {
    const int pai = NaicsPai(codigo);
    if (pai == 0) {
      setores_.push_back(codigo);
      continue;
    }
    const auto posicao = std::lower_bound(codigos_.begin(), codigos_.end(), pai);
    if (posicao != codigos_.end() && *posicao == pai) filhos_[static_cast<size_t>(posicao - codigos_.begin())].push_back(codigo);
  }
}

const NaicsTable& NaicsTable::Get() {
  static const NaicsTable table;
  return table;
}

bool NaicsTable::Valido(int codigo) const { return std::binary_search(codigos_.begin(), codigos_.end(), codigo); }

std::string NaicsTable::Titulo(int codigo, int lingua) const {
  if (lingua < 0 || lingua >= kNaicsLinguas) return {};
  const auto posicao = std::lower_bound(codigos_.begin(), codigos_.end(), codigo);
  if (posicao == codigos_.end() || *posicao != codigo) return {};
  return titulos_[static_cast<size_t>(posicao - codigos_.begin())][static_cast<size_t>(lingua)];
}

const std::vector<int>& NaicsTable::Filhos(int codigo) const {
  if (codigo == 0) return setores_;
  const auto posicao = std::lower_bound(codigos_.begin(), codigos_.end(), codigo);
  if (posicao == codigos_.end() || *posicao != codigo) return kNenhum;
  return filhos_[static_cast<size_t>(posicao - codigos_.begin())];
}

bool NaicsValido(int codigo) { return NaicsTable::Get().Valido(codigo); }

std::string NaicsTitulo(int codigo, int lingua) { return NaicsTable::Get().Titulo(codigo, lingua); }

int NaicsPai(int codigo) {
  if (codigo < 100) return 0;
  const int q = codigo / 10;
  if (q >= 31 && q <= 33) return 31;
  if (q >= 44 && q <= 46) return 44;
  if (q >= 48 && q <= 49) return 48;
  return q;
}

bool NaicsDentroDe(int codigo, int dentroDe) {
  for (int passo = 0; codigo > 0 && passo < kMaxPassos; ++passo, codigo = NaicsPai(codigo)) {
    if (codigo == dentroDe) return true;
  }
  return false;
}

int NivelDoCodigo(int codigo) {
  if (codigo >= 1 && codigo <= 99) return 1;
  if (codigo >= 100 && codigo <= 999) return 2;
  if (codigo >= 1000 && codigo <= 9999) return 3;
  return 0;
}

}  // namespace zi
