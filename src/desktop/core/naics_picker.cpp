#include "desktop/core/naics_picker.h"

#include <algorithm>

#include "catalogue/naics.h"
#include "session/session.h"

namespace zi::desktop {

NaicsPickerModel::NaicsPickerModel(int codigo) : lingua_(ZiGlobs().lingua) {
  while (codigo != 0 && !NaicsValido(codigo)) codigo = NaicsPai(codigo);
  nivel_ = codigo == 0 ? 1 : NivelDoCodigo(codigo);
  std::array<int, kNiveis + 1> ancestral{};  // by level; 0 is the root
  for (int c = codigo; c != 0; c = NaicsPai(c)) ancestral[static_cast<size_t>(NivelDoCodigo(c))] = c;
  for (int n = 1; n <= nivel_; ++n) {
    TNivel& nivel = niveis_[static_cast<size_t>(n - 1)];
    Lista(nivel, ancestral[static_cast<size_t>(n - 1)]);
    const auto posicao = std::find(nivel.codigos.begin(), nivel.codigos.end(), ancestral[static_cast<size_t>(n)]);
    if (posicao != nivel.codigos.end()) nivel.selecionada = static_cast<int>(posicao - nivel.codigos.begin());
  }
}

void NaicsPickerModel::Lista(TNivel& nivel, int pai) {
  nivel.pai = pai;
  nivel.codigos = NaicsTable::Get().Filhos(pai);
  nivel.selecionada = -1;
  nivel.rolagem = 0;
}

int NaicsPickerModel::Linhas() const { return static_cast<int>(Atual().codigos.size()); }

int NaicsPickerModel::Codigo(int linha) const { return Atual().codigos.at(static_cast<size_t>(linha)); }

std::string NaicsPickerModel::Titulo(int linha) const { return NaicsTitulo(Codigo(linha), lingua_); }

int NaicsPickerModel::Selecionada() const { return Atual().selecionada; }

void NaicsPickerModel::Seleciona(int linha) { Atual().selecionada = linha >= 0 && linha < Linhas() ? linha : -1; }

int NaicsPickerModel::Rolagem() const { return Atual().rolagem; }

void NaicsPickerModel::Rola(int primeiraLinha) { Atual().rolagem = std::max(primeiraLinha, 0); }

bool NaicsPickerModel::PodeDescer() const { return nivel_ < kNiveis && Selecionada() >= 0; }

bool NaicsPickerModel::PodeSubir() const { return nivel_ > 1; }

bool NaicsPickerModel::Desce() {
  if (!PodeDescer()) return false;
  const int pai = Codigo(Selecionada());
  ++nivel_;
  if (Atual().pai != pai) {
    Lista(Atual(), pai);
    if (!Atual().codigos.empty()) Atual().selecionada = 0;
  }
  return true;
}

bool NaicsPickerModel::Sobe() {
  if (!PodeSubir()) return false;
  --nivel_;
  return true;
}

int NaicsPickerModel::Escolhido(int codigo) const {
  return Selecionada() >= 0 ? Codigo(Selecionada()) : codigo;
}

}  // namespace zi::desktop
