#pragma once
// The NAICS picker's logic: a list at one of three levels (sectors, subsectors, industry groups),
// each level remembering its list, selection and scroll position while the user goes down to the
// children of a row and back up.

#include <array>
#include <string>
#include <vector>

namespace zi::desktop {

class NaicsPickerModel {
 public:
  static constexpr int kNiveis = 3;

  // Opens at the code: at its level (1 for 0), every level's selection on the code's ancestor at
  // that level. A code outside the table opens at its nearest ancestor in the table, or as 0. Titles
  // are in the session's language.
  explicit NaicsPickerModel(int codigo);

  int Nivel() const { return nivel_; }
  int Linhas() const;
  int Codigo(int linha) const;
  // Windows-1252.
  std::string Titulo(int linha) const;
  // The selected row, -1 when none.
  int Selecionada() const;
  // Out of range: no row selected.
  void Seleciona(int linha);
  // The first row shown, as the view scrolled it.
  int Rolagem() const;
  void Rola(int primeiraLinha);

  bool PodeDescer() const;
  bool PodeSubir() const;
  // One level down, listing the selected row's children; false (nothing changes) when it may not.
  bool Desce();
  // One level up, back to that level's list, selection and scroll; false when it may not.
  bool Sobe();

  // The selected row's code, or codigo when no row is selected.
  int Escolhido(int codigo) const;

 private:
  struct TNivel {
    int pai = -1;  // the code listed, -1 before the level is first listed
    std::vector<int> codigos;
    int selecionada = -1;
    int rolagem = 0;
  };
  static void Lista(TNivel& nivel, int pai);
  TNivel& Atual() { return niveis_[static_cast<size_t>(nivel_ - 1)]; }
  const TNivel& Atual() const { return niveis_[static_cast<size_t>(nivel_ - 1)]; }

  int lingua_;
  int nivel_ = 1;
  std::array<TNivel, kNiveis> niveis_;
};

}  // namespace zi::desktop
