#pragma once
// The command-line listing of statements whose check failed: each is checked again and its first
// account in error (within a block, or any) is logged.

namespace zi {

// 0, or the code of the first read that failed (the listing stops there and still logs its end).
int ListaBalsComContasQueNaoFecham(int bloco);

}  // namespace zi
