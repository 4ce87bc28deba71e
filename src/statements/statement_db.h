#pragma once
// Reading, writing and deleting statements through the process's connection. Every function
// returns 0 or an error code.

#include <vector>

#include "statements/statement.h"

namespace zi {

inline constexpr int kBalNaoExiste = 3585;
inline constexpr int kBalHeadNaoLido = 3520;
inline constexpr int kBalContasNaoLidas = 3521;
inline constexpr int kBalPutExcecao = 3522;
inline constexpr int kBalPutSemId = 3525;
inline constexpr int kBalPutFimDaTran = 3997;
inline constexpr int kBalPutNaoEnviado = 15778;

// Both reads clear the whole record first; a failure leaves the header all zero.
int DbBalGet(int id, TBalanco& bal);
// 3585 when the company has no statement of that identity.
int DbBalGetPelaDataCons(int empresa, TDayNumber dataref, bool consolidado, int tipoDocumento, int sourceDoBal,
                         TBalanco& bal);
// The header and the synchronisation of the value rows, in one transaction. A new statement (id 0)
// gets its id on success and keeps 0 on failure. A value that is infinite is refused (99601) before
// anything is sent. A database error other than a broken constraint runs the reconnection, and when
// the connection is lost and cannot be restored the error is raised to the caller.
int DbBalPut(TBalanco& bal, bool BalEntrouComoNovoBD);
int DbBalDel(int id);
// The ids of a company's statements of a source and document type, by date, then consolidated flag.
int DbBalancosIdDaEmp(int empresa, int sourceDoBal, int tipoDocumento, std::vector<int>& ids);

// Registers and unregisters a statement whose account changes the server is not to log; the
// server's answers are not looked at.
void DbBalancoNaoLogaContasAdd(int id);
void DbBalancoNaoLogaContasDel(int id);

}  // namespace zi
