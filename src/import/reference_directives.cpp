#include "import/reference_directives.h"

#include <functional>
#include <string>

#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/run.h"
#include "session/builtin_tables.h"
#include "session/reference_data.h"
#include "toolbox/text.h"

namespace zi {

namespace {

// The fields of a writer's line, read in order: a field that does not convert, a required text that
// is absent, or a token after the last field fails the line.
class TCampos {
 public:
  explicit TCampos(tParserWrapper& tokens) : tokens_(tokens) {}

  int32_t Inteiro() {
    int32_t valor = 0;
    if (!ReadIntegerField(Proximo(), valor)) ok_ = false;
    return valor;
  }
  // An optional integer: absent is 0.
  int32_t InteiroOpcional() {
    const std::string_view token = Proximo();
    int32_t valor = 0;
    if (!Absent(token) && !ReadIntegerField(token, valor)) ok_ = false;
    return valor;
  }
  std::string Texto(bool requerido) {
    const std::string_view token = Proximo();
    if (Absent(token)) {
      if (requerido) ok_ = false;
      return {};
    }
    return std::string(token);
  }
  // Whether every field read and nothing follows them.
  bool Valido() const { return ok_ && tokens_.Count() <= proximo_; }

 private:
  std::string_view Proximo() { return tokens_.Token(proximo_++); }

  tParserWrapper& tokens_;
  int proximo_ = 1;
  bool ok_ = true;
};

constexpr bool kRequerido = true;
constexpr bool kOpcional = false;

// A flag handler: the line fails when its fields do not read; in the import pass the writer's code
// must be 0, and is the line's code when it is not.
using TEscritor = std::function<int()>;
using TLeitor = std::function<TEscritor(TCampos&)>;

TDirectiveHandler Escritor(TLeitor leitor) {
  return [leitor = std::move(leitor)](TImpMain& run, const TDirective&) -> TDirectiveOutcome {
    TCampos campos(run.Tokens());
    const TEscritor escreve = leitor(campos);
    if (!campos.Valido()) return {false, 0};
    if (run.ToNoCheck()) return {};
    const int code = escreve();
    return {code == 0, code};
  };
}

TEscritor Pais(TCampos& c) {
  const int id = c.Inteiro();
  const std::string cod = c.Texto(kRequerido);
  const std::string nome = c.Texto(kRequerido);
  return [=] { return PaisPut(id, cod, nome); };
}

TEscritor Moeda(TCampos& c) {
  const int id = c.Inteiro();
  const std::string cod = c.Texto(kRequerido);
  const int pais = c.Inteiro();
  const std::string nome = c.Texto(kOpcional);
  return [=] { return MoedaPut(id, cod, pais, nome); };
}

TEscritor Bolsa(TCampos& c) {
  const int id = c.Inteiro();
  const int pais = c.Inteiro();
  const std::string cod = c.Texto(kRequerido);
  const std::string iso = c.Texto(kOpcional);
  const int indice = c.InteiroOpcional();
  const int flag = c.InteiroOpcional();
  const int calendario = c.InteiroOpcional();
  const std::string outros = c.Texto(kOpcional);
  return [=] { return BolsaPut(id, pais, cod, iso, indice, flag, calendario, outros); };
}

TEscritor Voto(TCampos& c) {
  const int id = c.Inteiro();
  const std::string cod = c.Texto(kRequerido);
  return [=] { return VoteStatPut(id, cod); };
}

TEscritor Oculta(TCampos& c) {
  const int conta = c.Inteiro();
  return [=] { return HideNoZorInputPut(conta); };
}

TEscritor BlocoPadrao(TCampos& c) {
  const int num = c.Inteiro();
  const int conta = c.Inteiro();
  return [=] { return BlocoPadraoNaDigitacaoPut(num, conta); };
}

TEscritor Identificacao(TCampos& c) {
  const int identificacao = c.Inteiro();
  const int conta = c.Inteiro();
  return [=] { return IdentificacaoDeContasPut(identificacao, conta); };
}

// The fields in the order files have always written them: the second label (token 4) before the
// integer that is checked but not sent (token 5), the first label (6) and the name (7).
TEscritor OcoTipo(TCampos& c) {
  const int id = c.Inteiro();
  const int seq = c.Inteiro();
  const std::string abrv = c.Texto(kRequerido);
  const std::string lb2 = c.Texto(kRequerido);
  c.Inteiro();
  const std::string lb1 = c.Texto(kOpcional);
  const std::string nome = c.Texto(kOpcional);
  return [=] { return OcoTipoPut(id, seq, abrv, nome, lb1, lb2); };
}

constexpr std::string_view kDocId = "doc-id:";

int ListChoice(TImpMain& run) {
  tParserWrapper& t = run.Tokens();
  int32_t lista = 0;
  if (t.Count() > 6 || !ReadIntegerField(t.Token(1), lista) || lista < 0 || lista >= kValueListFieldCodes) {
    return kListChoiceInvalida;
  }
  const std::string_view item = t.Token(2);
  const bool novo = SameTextAscii(item, "NEW");
  std::string doc;
  int32_t id = 0;
  if (item.starts_with(kDocId)) {
    doc = item.substr(kDocId.size());
    if (doc.empty()) return kListChoiceInvalida;
  } else if (!novo && (!ReadIntegerField(item, id) || id <= 0)) {
    return kListChoiceInvalida;
  }
  std::string nomes[3];
  for (int i = 0; i < 3; ++i) {
    const std::string_view nome = t.Token(3 + i);
    nomes[i] = Absent(nome) ? (i > 0 ? nomes[i - 1] : std::string()) : std::string(nome);
  }
  if (nomes[0].empty()) return kListChoiceInvalida;
  if (run.ToNoCheck()) return 0;
  return AddListChoice(lista, novo, id, doc, nomes[0], nomes[1], nomes[2]);
}

}  // namespace

void RegisterReferenceDirectives() {
  SetDirectiveHandler("*PAIS", Escritor(Pais));
  SetDirectiveHandler("*CURRENCY", Escritor(Moeda));
  SetDirectiveHandler("*BOLSA", Escritor(Bolsa));
  SetDirectiveHandler("*VOTINGSTATUS", Escritor(Voto));
  SetDirectiveHandler("*HIDENOZORINPUT", Escritor(Oculta));
  SetDirectiveHandler("*BLOCOPADRAONADIGITACAO", Escritor(BlocoPadrao));
  SetDirectiveHandler("*IDENTIFICACAODECONTAS", Escritor(Identificacao));
  SetDirectiveHandler("*OCOTIPO", Escritor(OcoTipo));
  SetDirectiveHandler("*LISTCHOICE",
                      [](TImpMain& run, const TDirective&) { return TDirectiveOutcome{true, ListChoice(run)}; });
}

}  // namespace zi
