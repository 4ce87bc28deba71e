#include "toolbox/errors.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace zi {

std::string ClassNameOf(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                   std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : type.name();
  // Support staff know the classes by their bare names; namespaces only add noise to the log.
  if (name.find('<') == std::string::npos) {
    auto pos = name.rfind("::");
    if (pos != std::string::npos) name.erase(0, pos + 2);
  }
  return name;
}

std::string ExceptionClassName(const std::exception& e) { return ClassNameOf(typeid(e)); }

}  // namespace zi
