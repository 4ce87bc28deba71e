#pragma once
// Integer-keyed lists of codes and texts loaded from the server: every code picker and every code
// check of the program reads one.

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zi {

namespace db {
class TDbCommand;
}

struct tIntStg {
  int id = 0;
  std::string text;  // up to three language parts separated by "|"
  int grupo = 0;
  int aux = 0;
  int aux2 = 0;
  std::string texto2;
  int aux3 = 0;
  int flags = 0;  // bit value 1: a class that has children
};

inline constexpr int kClassHasChildren = 1;

// The part of a "PT|EN|ES" text in the session's language; a text without "|" whole.
std::string ShownText(std::string_view text);

class tIntStgList {
 public:
  explicit tIntStgList(std::string source, std::string paramName = {}, int paramValue = 0);
  virtual ~tIntStgList() = default;
  tIntStgList(const tIntStgList&) = delete;
  tIntStgList& operator=(const tIntStgList&) = delete;

  // Loads the items unless they are loaded. A failed load raises EZorInputException with the
  // server's code and is tried again at the next use.
  virtual void GaranteLido();
  virtual bool EhMultiLng() const { return false; }
  void Limpa();
  bool Lido() const { return loaded_; }

  int Conta();
  const tIntStg* Item(int index);
  int IdDoIndice(int index);
  int IndiceDoId(int id, int group = 0, bool allGroups = true, int excludedFlags = 0);
  int IdDaPosicao(int position, int group = 0, bool allGroups = true, int excludedFlags = 0);
  const tIntStg* ItemDoId(int id);
  // The stored text of the id; missing: "NA(<id>)" with fallback, else empty.
  std::string TextoDoId(int id, bool withFallback);
  int GrupoDoId(int id, std::string_view callerName, bool tolerateMissing);
  int IdDoTexto(std::string_view text, int group, bool exact);
  int IdDoTextoMostrado(std::string_view text);
  int IdDoTexto2(std::string_view text);
  void PreencheLista(std::vector<std::string>& target, int group = 0, bool allGroups = true, int excludedFlags = 0);
  // Lines "<shown text> - <group name>" with their ids, for the items of a group (-1: all) or the id.
  void PreencheListaComGrupo(std::vector<std::pair<std::string, int>>& target, tIntStgList& groups, int id,
                             int group);
  void Adiciona(int id, std::string text, int group);
  // Sets flag bits on the item of the id; false when there is none.
  bool MarcaFlags(int id, int flags);
  void Ordena();
  bool TemMarca(int id, std::string_view callerName);

  const std::string& Source() const { return source_; }
  const std::string& ParamName() const { return paramName_; }
  int ParamValue() const { return paramValue_; }
  // "[tISL <source> <param>=<value>]", as error lines name a list.
  std::string Description() const;

 protected:
  virtual void LeDoDataSet(db::TDbCommand& command);
  std::vector<tIntStg>& Items() { return items_; }

 private:
  bool Passes(const tIntStg& item, int group, bool allGroups, int excludedFlags) const;

  std::string source_;
  std::string paramName_;
  int paramValue_;
  std::vector<tIntStg> items_;
  bool loaded_ = false;
  std::optional<std::bitset<256>> marks_;
};

class tIntStgListMultiLng : public tIntStgList {
 public:
  tIntStgListMultiLng(std::string source, std::string addProcedure, bool idZeroFirst, std::string paramName = {},
                      int paramValue = 0);
  bool EhMultiLng() const override { return !addProcedure_.empty(); }
  // Adds an item through the add procedure: its new id, or -1 with the code set.
  int AdicionaItem(const std::string& text, int& code, std::string_view callerName);

 protected:
  void LeDoDataSet(db::TDbCommand& command) override;

 private:
  std::string addProcedure_;
  bool idZeroFirst_;
};

// A three-language text whose empty parts take the last non-empty part: "A||C" becomes "A|C|C".
std::string FillLanguageParts(std::string_view text);

}  // namespace zi
