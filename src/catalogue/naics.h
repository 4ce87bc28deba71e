#pragma once
// The NAICS industry codes: sectors (two digits), subsectors (three) and industry groups (four),
// with the hierarchy that the import's *NAICSIF respects. Their titles come with the company form.

namespace zi {

// Whether the table holds the code.
bool NaicsValido(int codigo);
// The parent of a code: 0 below 100; otherwise the code without its last digit, the manufacturing,
// retail and transportation sectors counting as 31, 44 and 48.
int NaicsPai(int codigo);
// Whether dentroDe is the code itself or one of its ancestors.
bool NaicsDentroDe(int codigo, int dentroDe);

}  // namespace zi
