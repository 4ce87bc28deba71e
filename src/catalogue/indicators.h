#pragma once
// The indicator values of one company, class or series as the client edits them, and the single
// writes and reads at an effective date that the import makes.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/indicator_formats.h"
#include "toolbox/dates.h"

namespace zi {

inline constexpr int kSalvaSemObjeto = 4166;
inline constexpr int kSemDefinicao = 4293;
inline constexpr int kLinhasSemColuna = 4305;
inline constexpr int kConjuntoDeOutroObjeto = 4309;
inline constexpr int kIndicadorForaDasDefinicoes = 15687;
inline constexpr int kIndicadorSemDefinicao = 15688;
inline constexpr int kGravaIndicadorForaDasDefinicoes = 15689;
inline constexpr int kGravaIndicadorSemDefinicao = 15690;
inline constexpr int kNivelAcimaDe2 = 25074;
inline constexpr int kPutSemProcedimento = 25075;
inline constexpr int kIndicadorDoTextoSemDefinicao = 25076;

struct UmIndicadorDaEmpAtvAnb {
  bool requested = false;
  bool loaded = false;
  bool modified = false;
  bool present = false;
  TValorDeIndicador valor;
  bool semDataDeVigencia = false;
  // The effective date of the row the value was read from: the latest of the indicator's rows.
  TDateTime dataDaLinha{};

  // Changes nothing when the entry is absent and stays absent, or holds these values already;
  // otherwise stores them and marks the entry modified.
  void Set(bool presente, const TValorDeIndicador& novo);
};

// The indicators of one object. The level decides the procedures and the key: 2 a company (emp),
// 1 a class (atv), 0 a series (anb).
class TIndicadoresDeEmpAtvAnb {
 public:
  virtual ~TIndicadoresDeEmpAtvAnb() = default;
  TIndicadoresDeEmpAtvAnb(const TIndicadoresDeEmpAtvAnb&) = delete;
  TIndicadoresDeEmpAtvAnb& operator=(const TIndicadoresDeEmpAtvAnb&) = delete;

  // An empty set of a level 0..2 for an object (0 until it is known); with carrega, every indicator
  // of the object is read, and a failure logs and raises EZorInputException with its code.
  static std::unique_ptr<TIndicadoresDeEmpAtvAnb> Cria(int nivel, int id, bool carrega);

  virtual const char* ClassName() const = 0;
  int Nivel() const { return nivel_; }
  int Id() const { return id_; }

  UmIndicadorDaEmpAtvAnb& Entrada(int indicador);
  const std::map<int, UmIndicadorDaEmpAtvAnb>& Entradas() const { return entradas_; }

  // Reads every indicator of the object into the entries that are not modified.
  int Carrega();
  // Parses a text by the definition's format and sets the entry: 4293 without a definition.
  int SetFromText(const DefIndicador* def, std::string_view texto, bool formaFixa, bool podeAdicionar);
  // The modified entries of another set become modified entries of this one.
  void CopiaModificados(const TIndicadoresDeEmpAtvAnb& de);
  // Writes the modified entries of the object, in one batch that is all or nothing: an absent entry
  // deletes the indicator's rows, a present one rewrites its current row (the latest effective
  // date: earlier rows are its history and stay) or inserts a timeless one. The entries are marked
  // saved only once the batch succeeded. 4166 for an id of 0; another object's set raises 4309.
  int Salva(int id);
  // How the entry's value is shown.
  std::string TextoMostrado(int indicador);

 protected:
  TIndicadoresDeEmpAtvAnb(int nivel, int id) : nivel_(nivel), id_(id) {}

 private:
  int nivel_;
  int id_;
  std::map<int, UmIndicadorDaEmpAtvAnb> entradas_;
};

class TIndicadoresDaEmp : public TIndicadoresDeEmpAtvAnb {
 public:
  explicit TIndicadoresDaEmp(int id) : TIndicadoresDeEmpAtvAnb(2, id) {}
  const char* ClassName() const override { return "TIndicadoresDaEmp"; }
};

class TIndicadoresDoAtv : public TIndicadoresDeEmpAtvAnb {
 public:
  explicit TIndicadoresDoAtv(int id) : TIndicadoresDeEmpAtvAnb(1, id) {}
  const char* ClassName() const override { return "TIndicadoresDoAtv"; }
};

class TIndicadoresDoAnb : public TIndicadoresDeEmpAtvAnb {
 public:
  explicit TIndicadoresDoAnb(int id) : TIndicadoresDeEmpAtvAnb(0, id) {}
  const char* ClassName() const override { return "TIndicadoresDoAnb"; }
};

// Writes one value of an object at an effective date (0: the timeless value). 25074 for a level
// above 2, 15687 for an indicator below 1 or beyond the definitions, 15688 for one without a
// definition (25076 when the value is a text).
int PutValorDoIndicadorNaData(int nivel, int objeto, int indicador, TDayNumber data, const TValorDeIndicador& valor);
int PutTextoDoIndicadorNaData(int nivel, int objeto, int indicador, TDayNumber data, std::string_view texto,
                              const TLeituraDeTexto& leitura);

// The value effective at a date; achou is false when the object had none then.
int GetValorDoIndicadorNaData(int nivel, int objeto, int indicador, TDayNumber data, bool& achou,
                              TValorDeIndicador& valor);

}  // namespace zi
