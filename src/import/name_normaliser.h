#pragma once
// The name normaliser of company names imported with *OBJEMPABREV: per country, an abbreviation
// list (full name = abbreviation) and a casing list (terms spelt as written), both kept on the
// server; everything else is capitalised word by word.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zi {

inline constexpr int kListaPorPaisVazia = 4251;
inline constexpr int kNormalizadorExcecao = 15678;
inline constexpr int kNormalizadorSemAbreviacoes = 15679;
inline constexpr int kNormalizadorSemCasos = 15680;

inline constexpr int kListaDeAbreviacoes = 1;
inline constexpr int kListaDeCasos = 2;

// A per-country list: its entries, by key, each with its value (empty in a list without values).
class TListaStringsAbrev {
 public:
  // Reads the list of the country and type; a country without such a list has an empty one.
  int Carrega(int pais, int tipo);
  // Splits a text into entries at CR or LF, each at its first "=" into key and value, both trimmed;
  // empty lines are skipped.
  void LeTexto(std::string_view texto);
  const std::vector<std::pair<std::string, std::string>>& Entradas() const { return entradas_; }

 private:
  std::vector<std::pair<std::string, std::string>> entradas_;
};

class TNormalizadorDeNomes {
 public:
  struct Entrada {
    std::string chave;  // lower case
    std::string substituto;
  };

  // Builds the tables of a country from its lists; 0 or the code of the list that could not be read.
  int Carrega(int pais);
  // Builds the tables from the lists' entries. Entries whose key is empty are dropped.
  void Monta(const std::vector<std::pair<std::string, std::string>>& abreviacoes,
             const std::vector<std::pair<std::string, std::string>>& casos);
  int Pais() const { return pais_; }
  bool Carregado() const { return carregado_; }

  // The name normalised: lower case, the abbreviations, the casing terms, the others capitalised.
  std::string Normaliza(std::string_view nome) const;

  const std::vector<Entrada>& Abreviacoes() const { return abreviacoes_; }
  const std::vector<Entrada>& Casos() const { return casos_; }

 private:
  std::string PassoDeAbreviacao(std::string_view texto, size_t inicio) const;
  std::string PassoDeCaso(std::string_view texto, size_t inicio) const;

  int pais_ = -1;
  bool carregado_ = false;
  std::vector<Entrada> abreviacoes_;
  std::vector<Entrada> casos_;
};

// A name normalised by the normaliser of its country, which is built when the country differs from
// the one it holds. A list that cannot be read, or anything raised, logs a warning and leaves the
// name as it is.
std::string NormalizaNome(TNormalizadorDeNomes& normalizador, int pais, std::string_view nome);

// Every run of letters and digits begins with a capital; a character that repeats the one before it
// outside such a run is dropped.
std::string CapitalizacaoPadrao(std::string_view texto);

}  // namespace zi
