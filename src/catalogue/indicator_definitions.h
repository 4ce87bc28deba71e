#pragma once
// The definitions of the indicators that companies, classes and series carry: one per indicator
// id, read from the server once per process and again at every login.

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace zi {

inline constexpr int kDefinicaoComIdInvalido = 4286;

struct DefIndicador {
  int32_t id = 0;
  int32_t grupo = 0;
  int32_t ordem = 0;
  uint8_t tipo = 0;
  uint8_t largura = 0;  // the longest text value, and the width of its edit field
  uint8_t casas = 0;
  uint8_t FormatoCampo = 0;
  int32_t aux7 = 0;
  int32_t aux8 = 0;
  int32_t aux9 = 0;                 // with texto13: a list indicator that may be typed as a number
  std::array<std::string, 3> nome;  // by session language, each of two texts joined by "|"
  std::string texto13;
};

// "#id : " when asked, then the two parts of the name in the session's language.
std::string LabelDoIndicador(const DefIndicador& def, bool comId);

class TListaDeDefIndicador {
 public:
  // Reads every definition, replacing those held: 0, or the code of the failure (4286 for a row
  // whose id is not above 0), after which none is held.
  int Carrega();
  // Reads them unless they are held.
  int GaranteLida();
  void Esquece();
  bool Lida() const { return lida_; }

  // nullptr when there is no such indicator (or the definitions cannot be read).
  const DefIndicador* Def(int id);
  // The highest id defined; 0 when there is none.
  int MaiorId();

 private:
  // By id, so that an id from a file or the server never sizes anything.
  std::map<int, DefIndicador> defs_;
  bool lida_ = false;
};

TListaDeDefIndicador& DefIndicadores();

}  // namespace zi
