// Checks on the files a tunora-cli command is named, made before it reads or writes any of them:
// no two names for one file, and an output path that can be written.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tunora::cli {

// True when a and b name the same file: the same device and inode when both exist, else the same
// path once resolved (links followed as far as they exist, "." and ".." removed).
bool sameFile(const std::string& a, const std::string& b);

// The named files, each with its option ("--db"); unset ones are passed over. An error message
// when two of them name one file; empty when all differ.
std::string sameFileError(
    const std::vector<std::pair<std::string, std::optional<std::string>>>& files);

// Claims path for a new file. Without `force` an existing path (a file, a link, anything) is
// refused and a missing one is created empty at once, so that no other file can take its place;
// `made` then says this call created it. An error message, or empty.
std::string claimNewFile(const std::string& path, bool force, bool& made);

// After a failed create: removes the file when this command made it, or when `force` replaced
// a file and what is left does not open as a table (unless another program holds it).
void removeFailedCreate(const std::string& path, bool made, bool force);

// Empty when a file can be written at path: path is a regular file, or is missing in a folder
// that exists. Otherwise what is wrong.
std::string outputPathError(const std::string& path);

}  // namespace tunora::cli
