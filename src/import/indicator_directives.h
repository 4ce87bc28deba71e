#pragma once
// The directives that register indicator values on companies, classes and series: *COMREG,
// *CLASSREG and *SERIEREG with their ADDITEMIFNEW and REPEATDATE variants, and the *EAAREG family,
// which writes at the level the registration template gives the indicator.

namespace zi {

inline constexpr int kSerieRegSemChave = 4167;
inline constexpr int kClassRegSemChave = 4169;
inline constexpr int kIndicadorNaoDefinido = 4301;
inline constexpr int kValorVazio = 4302;
inline constexpr int kComRegSemChave = 4304;
inline constexpr int kForaDoFormatoDeCadastro = 4292;
inline constexpr int kDataDoRegInvalida = 25072;
inline constexpr int kRepeteSemDataAlvo = 45080;
inline constexpr int kRepeteSemDataOrigem = 45081;
inline constexpr int kEaaIndicador = 25001;
inline constexpr int kEaaValor = 25002;
inline constexpr int kEaaSerie = 25003;
inline constexpr int kEaaForaDoFormato = 25004;
inline constexpr int kEaaData = 25073;

// The company indicator that is the company's CNPJ: writing it changes the company record.
inline constexpr int kIndicadorCnpj = 9;

// Plugs the directives into the directive table.
void RegisterIndicatorDirectives();

}  // namespace zi
