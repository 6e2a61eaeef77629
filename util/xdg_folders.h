// The user's base folders by the XDG base directory rules, found once for every part of the
// program: a variable counts only when it holds an absolute path; the data and cache folders
// then fall back under an absolute $HOME, the runtime folder has no fallback.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tunora {

// The value of an environment variable, nullopt when unset. Tests pass their own.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process's own environment (getenv).
EnvironmentLookup processEnvironment();

enum class XdgFolder {
  kDataHome,    // $XDG_DATA_HOME, else $HOME/.local/share
  kCacheHome,   // $XDG_CACHE_HOME, else $HOME/.cache
  kRuntimeDir,  // $XDG_RUNTIME_DIR
};

// The folder without a trailing "/"; nullopt when neither its variable nor (data and cache)
// $HOME gives an absolute path. The folder may not exist.
std::optional<std::string> xdgFolder(XdgFolder folder, const EnvironmentLookup& environment);

}  // namespace tunora
