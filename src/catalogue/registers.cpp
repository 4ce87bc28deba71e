#include "catalogue/registers.h"

#include <algorithm>

namespace zi {

void TListaDeEmpAdded::Add(const std::string& cod, int pais) {
  if (!Contains(cod, pais)) items_.push_back({cod, pais});
}

bool TListaDeEmpAdded::Contains(const std::string& cod, int pais) const {
  return std::any_of(items_.begin(), items_.end(), [&](const Item& i) { return i.pais == pais && i.cod == cod; });
}

void TListaDeClassAdded::Add(const std::string& codEmp, const std::string& classe, int pais) {
  if (!Contains(codEmp, classe, pais)) items_.push_back({codEmp, classe, pais});
}

bool TListaDeClassAdded::Contains(const std::string& codEmp, const std::string& classe, int pais) const {
  return std::any_of(items_.begin(), items_.end(),
                     [&](const Item& i) { return i.pais == pais && i.codEmp == codEmp && i.classe == classe; });
}

void TListaDeSerieAdded::Add(const std::string& ticker, int bolsa) {
  if (!Contains(ticker, bolsa)) items_.push_back({ticker, bolsa});
}

bool TListaDeSerieAdded::Contains(const std::string& ticker, int bolsa) const {
  return std::any_of(items_.begin(), items_.end(),
                     [&](const Item& i) { return i.bolsa == bolsa && i.ticker == ticker; });
}

}  // namespace zi
