#pragma once
// The reference tables built into the program, against which the server's lists are checked.

#include <optional>
#include <string>
#include <string_view>

namespace zi {

inline constexpr int kCountryCount = 80;
inline constexpr int kCurrencyCount = 32;
inline constexpr int kDataLogTypeCount = 149;
inline constexpr int kValueListFieldCodes = 248;
inline constexpr int kBulletinDestinationTypes = 12;

// The country's two- or three-letter code; the id zero-padded to 2 or 3 digits where it has none.
std::string CodigoDoPais(int id, bool twoLetters);
// The country of a code: two-letter codes first, then three-letter codes, "-", "--", "---" for 9,
// or a decimal number from 0 to 79.
std::optional<int> PaisDoCodigo(std::string_view code);

// A currency's symbol and country (ids 0 to 31).
std::string SimboloDaMoeda(int id);
int PaisDaMoeda(int id);
// The lowest currency id of a country; nullopt when none names it.
std::optional<int> PrimeiraMoedaDoPais(int country);

// "EmpAdd#1"; "unknown#57" for an id without a name.
std::string NomeDoDataLogTipo(int id);
// The name alone, empty for an id without one.
std::string DataLogTipoName(int id);

std::string NomeDoTipoDeBGL(int type);
std::string NomeDaFonte(int source);
std::string NomeDoEstado(int state);

// Whether a value-list field code has a user-defined list.
bool TemListaDeValores(int fieldCode);

}  // namespace zi
