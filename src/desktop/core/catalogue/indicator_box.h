#pragma once
// The indicator box of the company, class and series forms (TBoxInd): which indicators an object of
// a level shows for its country, asset type and registration template, with what kind of field, and
// how the fields' contents become the entries of an indicator set.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/indicators.h"

namespace zi {
class tIntStgList;
}

namespace zi::desktop {

// An entry of a pick: what it shows and the id it stands for.
struct TPickItem {
  std::string text;
  int id = 0;
  friend bool operator==(const TPickItem&, const TPickItem&) = default;
};
using TPickList = std::vector<TPickItem>;

// The entries of a session list, each shown in the session's language.
TPickList ItensDe(tIntStgList& lista);

// The position of the id in the list; -1 when it is not there.
int IndiceDoId(const TPickList& itens, int id);

inline constexpr std::string_view kVemDosCamposFixos = "comes from the fixed fields";

enum class TTipoDeCampo {
  CamposFixos,  // a label only: the value is one of the object's fixed fields
  Lista,        // a pick of the value list of the format
  Moeda,        // a pick of the currencies
  Check,        // a three-state check box
  Edit,
};

enum class TCheck { Nao, Sim, Cinza };

struct TLinhaDoBox {
  int indicador = 0;
  int formato = 0;
  std::string label;
  TTipoDeCampo tipo = TTipoDeCampo::Edit;
  // The most characters an edit field takes while typing; 0 for no limit.
  int limite = 0;
  // A list indicator typed as its key instead of picked (ListaTipadaComoNumero).
  bool numeroTipado = false;
  TPickList itens;
};

// What one field holds: the text of an edit field, the id of a pick's entry (-1: none selected), the
// state of a check box. A disabled field leaves its entry as it is.
struct TCampoDoBox {
  std::string texto;
  int item = -1;
  TCheck check = TCheck::Cinza;
  bool habilitado = true;
  friend bool operator==(const TCampoDoBox&, const TCampoDoBox&) = default;
};
using TCamposDoBox = std::map<int, TCampoDoBox>;

class TBoxInd {
 public:
  // Lays the box out for an object of the level: the indicators the template lines name for that
  // level, in template order (the template formato, or the one the rules give for the asset type
  // and the country when it is 0). 0, or the template's code, after which the box has no line and
  // its Save changes nothing: a box that could not be laid out must never wipe stored values.
  int Monta(int nivel, int pais, int tipoObj, int formato, const std::vector<int>& tiposDasClasses);
  bool Montado() const { return montado_; }
  int Nivel() const { return nivel_; }
  const std::vector<TLinhaDoBox>& Linhas() const { return linhas_; }
  const TLinhaDoBox* Linha(int indicador) const;

  // The fields of the lines: what was typed for an indicator that the box still shows, else the
  // entry's value in the set.
  TCamposDoBox Campos(const TIndicadoresDeEmpAtvAnb& set, const TCamposDoBox& digitados = {}) const;

  // Sets every entry of the set from the fields: an indicator without a field becomes absent; an
  // empty field, "-", a grey check box or a pick without selection gives a NULL value. 0, or the
  // code of the first field whose content fails (logged, that entry made absent); its indicator
  // goes to falhou.
  int Save(const TCamposDoBox& campos, TIndicadoresDeEmpAtvAnb& set, int* falhou = nullptr) const;

 private:
  int SaveCampo(const TLinhaDoBox& linha, const TCampoDoBox& campo, TIndicadoresDeEmpAtvAnb& set) const;

  bool montado_ = false;
  int nivel_ = 0;
  std::vector<TLinhaDoBox> linhas_;
};

}  // namespace zi::desktop
