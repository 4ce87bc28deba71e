#pragma once
// The statement and account directives of import files: *FS and its variants, *CBAL, *DELCBAL,
// *BLOCOCBAL, *FBAL and *APRESFBAL.

namespace zi {

// The value list that holds the CPF/CNPJ documents of statement values.
inline constexpr int kCampoCpfCnpj = 247;

// Plugs the handlers into the directive table.
void RegisterStatementDirectives();

}  // namespace zi
