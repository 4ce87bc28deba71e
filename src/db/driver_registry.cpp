#include "db/driver_registry.h"

#include <map>

#include "toolbox/text.h"

namespace zi::db {

namespace {

struct Entry {
  std::string name;  // as registered
  DriverFactory factory;
};

// By the name upper-cased.
std::map<std::string, Entry>& Factories() {
  static std::map<std::string, Entry> factories;
  return factories;
}

}  // namespace

void RegisterDriver(const std::vector<std::string>& providers, DriverFactory factory) {
  for (const std::string& provider : providers) Factories()[UpperAscii(provider)] = {provider, factory};
}

bool HasDriver(const std::string& provider) { return Factories().contains(UpperAscii(provider)); }

std::unique_ptr<Driver> MakeDriver(const ConnectionSettings& settings) {
  const auto found = Factories().find(UpperAscii(settings.provider));
  if (found == Factories().end()) return nullptr;
  return found->second.factory(settings);
}

std::string RegisteredProviders() {
  std::string names;
  for (const auto& [key, entry] : Factories()) names += (names.empty() ? "" : ", ") + entry.name;
  return names;
}

}  // namespace zi::db
