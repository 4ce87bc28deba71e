#pragma once
// The field formats of indicators: in which column a value is kept, how a text becomes a value and
// how a value is shown.

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/indicator_definitions.h"
#include "toolbox/db_value.h"
#include "toolbox/numbers.h"

namespace zi {

inline constexpr int kBooleanoIlegivel = 4133;
inline constexpr int kMoedaNaoEncontrada = 4179;
inline constexpr int kInteiroIlegivel = 4294;
inline constexpr int kNumeroIlegivel = 4295;
inline constexpr int kFormatoSemTexto = 4296;
inline constexpr int kChaveNaoInteira = 4306;
inline constexpr int kNomeForaDaLista = 4307;
inline constexpr int kChaveForaDaLista = 4308;
inline constexpr int kDataZero = 4336;
inline constexpr int kDocIdVazio = 4399;
inline constexpr int kDataHoraIlegivel = 32191;
inline constexpr int kDataHoraImpossivel = 32192;
inline constexpr int kDataIlegivel = 45113;
inline constexpr int kDocIdNaoEncontrado = 50043;

// The indicator whose list values must be found by document key.
inline constexpr int kIndicadorComDocId = 142;

// The field formats (`FormatoCampo`) that are read and shown apart from the numbers.
inline constexpr int kFormatoTexto = 3;
inline constexpr int kFormatoMoeda = 9;
inline constexpr int kFormatoDataHora = 27;
inline constexpr int kFormatoData = 28;
inline constexpr int kFormatoListaComGrupo = 30;
inline constexpr int kFormatoListaGeral = 32;
inline constexpr int kFormatoChaveDeLista = 36;

bool EhFormatoInteiro(int formato);
bool EhFormatoNumero(int formato);
bool EhFormatoBooleano(int formato);
// The lists of the catalogue's own: with groups, the general list and a list's keys.
bool EhListaDoCatalogo(int formato);

enum class TColunaDoValor { Num, Dt, St };
TColunaDoValor ColunaDoFormato(int formato);

// A value as the database keeps it: null when the column of its format is NULL.
struct TValorDeIndicador {
  bool nulo = true;
  double valornum = kMissing;
  TDateTime valordt{};
  std::string valorst;

  // Exact, but two missing numbers are the same value.
  friend bool operator==(const TValorDeIndicador& a, const TValorDeIndicador& b);
};

struct TLeituraDeTexto {
  // Numbers with "." and dates of digits (or as import files write them), whatever the session's
  // settings: what files hold.
  bool formaFixa = false;
  // A name its list does not hold is added to the list, when the list accepts new entries.
  bool podeAdicionar = false;
  // Validates only: nothing is added to a list (a name it would add counts as found).
  bool semEscrever = false;
};

// Reads a text by the definition's format: 0 with the value, or the format's code. An empty text
// and "-" are a value NULL.
int ValorDoTexto(const DefIndicador& def, std::string_view texto, const TLeituraDeTexto& leitura,
                 TValorDeIndicador& valor);

// How a value is shown: "-" when absent or NULL, "missing-defind!" without a definition.
std::string TextoDoValor(const DefIndicador* def, bool presente, const TValorDeIndicador& valor);

// A list indicator that an object of country 0 whose classes are all of asset type 12 types as a
// number in its field instead of picking it from the list.
bool ListaTipadaComoNumero(const DefIndicador& def, int pais, const std::vector<int>& tiposDasClasses);

}  // namespace zi
