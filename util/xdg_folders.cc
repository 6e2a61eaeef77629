// The user's base folders by the XDG base directory rules.
#include "util/xdg_folders.h"

#include <cstdlib>

namespace tunora {
namespace {

std::optional<std::string> absolute(const EnvironmentLookup& environment, const char* name) {
  if (!environment) return std::nullopt;
  auto value = environment(name);
  if (!value || value->empty() || (*value)[0] != '/') return std::nullopt;
  while (value->size() > 1 && value->back() == '/') value->pop_back();
  return value;
}

}  // namespace

EnvironmentLookup processEnvironment() {
  return [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  };
}

std::optional<std::string> xdgFolder(XdgFolder folder, const EnvironmentLookup& environment) {
  switch (folder) {
    case XdgFolder::kDataHome:
      if (auto xdg = absolute(environment, "XDG_DATA_HOME")) return xdg;
      if (auto home = absolute(environment, "HOME")) return *home + "/.local/share";
      return std::nullopt;
    case XdgFolder::kCacheHome:
      if (auto xdg = absolute(environment, "XDG_CACHE_HOME")) return xdg;
      if (auto home = absolute(environment, "HOME")) return *home + "/.cache";
      return std::nullopt;
    case XdgFolder::kRuntimeDir:
      return absolute(environment, "XDG_RUNTIME_DIR");
  }
  return std::nullopt;
}

}  // namespace tunora
