#pragma once
// The objects added during one import run, so that the check pass accepts later lines that refer
// to objects earlier lines would add. Strings compare exactly; the lists are short, so a linear scan.

#include <string>
#include <vector>

namespace zi {

class TListaDeEmpAdded {
 public:
  void Add(const std::string& cod, int pais);
  bool Contains(const std::string& cod, int pais) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  struct Item {
    std::string cod;
    int pais;
  };
  std::vector<Item> items_;
};

class TListaDeClassAdded {
 public:
  void Add(const std::string& codEmp, const std::string& classe, int pais);
  bool Contains(const std::string& codEmp, const std::string& classe, int pais) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  struct Item {
    std::string codEmp;
    std::string classe;
    int pais;
  };
  std::vector<Item> items_;
};

class TListaDeSerieAdded {
 public:
  void Add(const std::string& ticker, int bolsa);
  bool Contains(const std::string& ticker, int bolsa) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  struct Item {
    std::string ticker;
    int bolsa;
  };
  std::vector<Item> items_;
};

}  // namespace zi
