// The framework's application object as far as the registry defaults need
// it: the registry-key name and the application name.
#include <string>

#include "platform/registry.h"

namespace platform {
namespace {

std::string& RegistryKeyName() {
  static std::string* name = new std::string;
  return *name;
}

std::string& ApplicationName() {
  static std::string* name = new std::string;
  return *name;
}

}  // namespace

void SetAppRegistryNames(const char* registryKey, const char* appName) {
  RegistryKeyName() = registryKey != nullptr ? registryKey : "";
  ApplicationName() = appName != nullptr ? appName : "";
}

const char* AppRegistryKey() {
  return RegistryKeyName().empty() ? nullptr : RegistryKeyName().c_str();
}

const char* AppName() { return ApplicationName().empty() ? nullptr : ApplicationName().c_str(); }

}  // namespace platform
