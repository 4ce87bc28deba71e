#pragma once
// The directives that write reference data through the session's writers: *PAIS, *CURRENCY,
// *BOLSA, *VOTINGSTATUS, *HIDENOZORINPUT, *BLOCOPADRAONADIGITACAO, *IDENTIFICACAODECONTAS, *OCOTIPO
// and *LISTCHOICE.

namespace zi {

inline constexpr int kListChoiceInvalida = 4400;

// Plugs the directives into the directive table.
void RegisterReferenceDirectives();

}  // namespace zi
