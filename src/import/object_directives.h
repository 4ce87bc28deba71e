#pragma once
// The directives that create and change companies, classes and series, and set single attributes
// of series and companies: *OBJEMP, *OBJEMPABREV, *OBJCLASS, *OBJSERIE, *SERIESTATUS, *ISIN,
// *NAICS and *NAICSIF. The check pass validates every field and resolves every key, knowing the
// objects that earlier lines of the file create (the series of *SERIESTATUS and *ISIN are left to
// the import pass, where an unknown one fails its line alone); the import pass writes each line
// all or nothing.

namespace zi {

// Field count and fields of *OBJEMP and *OBJEMPABREV.
inline constexpr int kEmpNumeroDeCampos = 7126;
inline constexpr int kEmpCodigo = 7127;
inline constexpr int kEmpPais = 7128;
inline constexpr int kEmpNovaIncompleta = 7130;
inline constexpr int kEmpFlag = 7131;
inline constexpr int kEmpMoeda = 7132;
inline constexpr int kEmpNaics = 7133;
inline constexpr int kEmpFormato = 7134;
// *OBJCLASS.
inline constexpr int kAtvNumeroDeCampos = 15253;
inline constexpr int kAtvTipoObj = 15256;
inline constexpr int kAtvVoto = 15257;
inline constexpr int kAtvNovaIncompleta = 15259;
// *OBJSERIE: the field count, then one code per field from token 6 on.
inline constexpr int kAnbNumeroDeCampos = 15260;
inline constexpr int kAnbClasseIncompleta = 15273;
inline constexpr int kAnbNovaIncompleta = 15274;
// *SERIESTATUS and *ISIN.
inline constexpr int kTickerVazio = 4136;
inline constexpr int kBolsaInvalidaNaLinha = 4137;
inline constexpr int kNovoStatusInvalido = 4138;
inline constexpr int kStatusNumeroDeCampos = 4139;
inline constexpr int kIsinNumeroDeCampos = 4327;
// *NAICS and *NAICSIF.
inline constexpr int kNaicsNumeroDeCampos = 15311;
inline constexpr int kNaicsNaoInteiro = 15314;
inline constexpr int kNaicsDesconhecido = 15315;

// The company text that *OBJEMP writes, and the series' texts and number that *OBJSERIE writes.
inline constexpr int kIndicadorTextoDaEmp = 58;
inline constexpr int kIndicadorTextoDaSerie1 = 1;
inline constexpr int kIndicadorNumeroDaSerie = 46;
inline constexpr int kIndicadorTextoDaSerie48 = 48;

// Plugs the directives into the directive table.
void RegisterObjectDirectives();

}  // namespace zi
