#pragma once
// Formats and statements built by hand for the check's tests.

#include <initializer_list>
#include <string>

#include "statements/check.h"

namespace zi::test {

struct TLinhaDeTeste {
  int conta = 0;  // 0 for a block title
  int sinal = kSinalNenhum;
  int ind = 0;
  int grupo = 0;
};

// A format of the lines given, each account named "A<id>" in the catalogue, its tree computed.
inline TFormatoBal Formato(std::initializer_list<TLinhaDeTeste> linhas) {
  TFormatoBal f;
  f.id = 1;
  for (const TLinhaDeTeste& l : linhas) {
    TLinhaFmt linha{.fmtbal = 1, .seq = static_cast<int32_t>(f.linhas.size()) + 1};
    if (l.conta == 0) {
      linha.tipo = kLinhaTituloBloco;
    } else {
      linha.conta = l.conta;
      linha.sinal = static_cast<uint8_t>(l.sinal);
      linha.indentacao = l.ind;
      linha.IdentificacaoDeContas = l.grupo;
      ContaBal conta;
      conta.id = l.conta;
      conta.Nome_Extenso = "A" + std::to_string(l.conta);
      f.contas.Adiciona(conta);
    }
    f.linhas.push_back(linha);
  }
  CalculaArvore(f, f.contas);
  return f;
}

// A statement that passes the header test, with values of period 0.
inline TBalanco Balanco(std::initializer_list<std::pair<int, double>> valores, int periodo = kPeriodoFY) {
  TBalanco b;
  b.head.meses = 12;
  b.head.datamoeda = TDayNumber{30000};
  for (const auto& [conta, valor] : valores) b.Celula(periodo, conta).valor = valor;
  return b;
}

}  // namespace zi::test
