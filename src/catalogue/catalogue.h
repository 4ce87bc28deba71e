#pragma once
// The calls of the object catalogue: add, read, change and delete companies, classes and series;
// id lookups by code; the object lists of a company and the company search. Every function
// returns 0 or an error code; none lets an exception escape.

#include <string>
#include <vector>

#include "catalogue/objects.h"

namespace zi {

// Client-side codes.
inline constexpr int kSerieComPaisProCodZorNegativo = 3807;
inline constexpr int kStatusDeSerieInvalido = 4044;
inline constexpr int kPaisInvalidoNaEmp = 4173;
inline constexpr int kEmpNaoEncontrada = 4174;
inline constexpr int kPaisInvalidoNaClasse = 4175;
inline constexpr int kBolsaInvalida = 4177;
inline constexpr int kSerieNaoEncontrada = 4178;
inline constexpr int kSourceAcimaDoFormato = 4461;
inline constexpr int kNivelInvalido = 15252;
inline constexpr int kCodDaEmpAusente = 15254;
inline constexpr int kClasseAusente = 15255;
// Codes of the server that callers read: the class lookup's 4170 (no company of that code), 4171
// (no class name of that name) and 4172 (the company has no class of that name, the ids still
// delivered).
inline constexpr int kEmpDaClasseNaoEncontrada = 4170;
inline constexpr int kClasseNomeDesconhecido = 4171;
inline constexpr int kClasseNaoEncontrada = 4172;
inline constexpr int kClassAddComId = 50173;
inline constexpr int kClassAddFalhou = 50174;

// On success the server's id is written into the record.
int DbObjEmpAdd(tObjEmp& emp);
// A read that fails leaves the record empty: empty texts and zeros, the id included.
int DbObjEmpGet(int id, tObjEmp& emp);
int DbObjEmpPut(const tObjEmp& emp);
int DbObjEmpDel(int id);

int DbObjAtvAdd(tObjAtv& atv);
// A read that fails leaves the record all zeros, the id included.
int DbObjAtvGet(int id, tObjAtv& atv);
int DbObjAtvPut(const tObjAtv& atv);
int DbObjAtvDel(int id);

// On success the server's id and product-code country are written into the record.
int DbObjAnbAdd(tObjAnb& anb);
int DbObjAnbGet(int id, tObjAnb& anb);
// On success the server's product-code country is written into the record.
int DbObjAnbPut(tObjAnb& anb);
int DbObjAnbDel(int id);

// The company of a code in a country given as text ("0".."79"); id is 0 after any error.
int GetIdEmp(const std::string& cod, const std::string& paisTexto, int& id);
// The same through the process's company-by-code cache.
int GetIdEmpCached(const std::string& cod, const std::string& paisTexto, int& id);

// The ids of a class by company code, country text and class name; the ids are delivered on 0 and
// on 4172. With aceitaProvisorio, a company code holding "-provis" that the server does not know
// (4170) is asked again under its definitive code when there is one.
int GetIdAtvV2(const std::string& codEmp, const std::string& paisTexto, const std::string& classe,
               bool aceitaProvisorio, int& idEmp, int& idAtv, int& idClass);
// The procedure's return value: 1 when the provisional code has a definitive one, delivered with
// its company and series ids.
int GetRegistroCodCVMparaAnbima(const std::string& codProvis, std::string& codAnbima, int& idEmp, int& idAnb);

// The series of a ticker on an exchange given as text; id is 0 after any error.
int GetIdAnb(const std::string& cod, const std::string& bolsaTexto, int& id);

// Adds a class name; id is delivered on 0 and on 50173.
int ClassAdd(const std::string& clss, int pais, int filhaDe, int flag, int& id);

// Sets the company's statement format for a source and document type when it has none.
void DefineFormatoBalDaEmpSeNulo(int emp, int sourceDoBal, int tipoDocumentoBal, int fmtbal);

// The company's statement format for a source 0..3; formato is 0 after any error.
int GetFormatoBalDaEmp(int idEmp, int source, int& formato);
// The company's country; 9 when the company cannot be read.
int PaisDaEmp(int idEmp);

// The status 0..11 of a ticker on an exchange.
int GetTipoDeBGLDaAnb(const std::string& cod, int bolsa, int& tipo);
// The number of active series of an exchange with a status.
int GetTotalAnbAtivosDessaBolsaTBGL(int bolsa, int tipoDeBGLDestino, int& num);

// Asks for the object to be sent again in the next bulletin.
int AdminObjEmpRemandaTudo(int id);
int AdminObjAtvRemandaTudo(int id);
int AdminObjAnbRemandaTudo(int id);

// The classes of a company, once per series row (vote left 0).
int GetClassesDaEmp(int idEmp, std::vector<tObjAtv>& classes);
// Every company id, ascending.
int GetIdsDeTodasAsEmps(std::vector<int>& ids);

// The whole object list of the company that holds the object of that level (0 series, 1 class,
// 2 company) and id. The list is emptied first, also on failure.
int GetObjListDaEmp(int nivel, int id, std::vector<tObjHierEx>& lista);

// The company search of the object picker.
enum class TOndeBuscar { NomeDaEmp = 0, Ticker = 1, TickerExato = 2, NomeOuTicker = 3 };
struct TBuscaDeEmp {
  std::string texto;
  bool soMeuPais = true;
  TOndeBuscar onde = TOndeBuscar::NomeOuTicker;
};
// The text sent: trimmed, without double or single quotes.
std::string TextoDaBusca(const std::string& texto);
// Where to look as sent: 0 for an empty text.
int OndeDaBusca(const TBuscaDeEmp& busca);
// The sentence that describes the search in the picker.
std::string LabelDaBusca(const TBuscaDeEmp& busca);
int BuscaEmp(const TBuscaDeEmp& busca, std::vector<tObjHierEx>& lista);

}  // namespace zi
