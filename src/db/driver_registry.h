#pragma once
// Drivers by provider name. Each driver registers the providers it serves; the program entry
// registers the drivers its build has, and the login asks here for the one the switches name.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/driver.h"

namespace zi::db {

// What a driver needs to open its connection, from the login's switches and settings.
struct ConnectionSettings {
  std::string provider;
  std::string host;      // the server
  std::string database;  // the database's name on the server
  std::string user;      // empty: the operating system's identity (integrated security)
  std::string password;
  std::string odbcDriver;   // the ODBC driver's name as odbcinst.ini knows it
  std::string odbcOptions;  // more "key=value" pairs for the ODBC connection string
  std::string importTicket;  // logs in as a remote import's uploader instead of with the password
  bool mayCreate = false;    // the embedded database's file may be created
};

using DriverFactory = std::function<std::unique_ptr<Driver>(const ConnectionSettings&)>;

// Provider names are compared without regard to ASCII case; a later registration of a name
// replaces the earlier.
void RegisterDriver(const std::vector<std::string>& providers, DriverFactory factory);

// Whether this build has a driver for the provider.
bool HasDriver(const std::string& provider);

// The driver for the settings' provider, not yet open; nullptr when this build has none.
std::unique_ptr<Driver> MakeDriver(const ConnectionSettings& settings);

// The registered provider names, comma-separated, for messages.
std::string RegisteredProviders();

}  // namespace zi::db
