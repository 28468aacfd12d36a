#pragma once
// Inside the record layer only: creating and finding the temporary file that
// stands for an output file until it is committed.
#include <cstdio>
#include <string>

namespace diffboot::staging {

// Opens a new temporary file in the directory of `name` for writing, with
// the permissions a new file would get, and records it as the staged content
// of `name`. nullptr when it cannot be created (directory not writable,
// `name` a directory, or more output files at once than the signal handlers
// can remove).
std::FILE* open_staged(const std::string& name);

// The temporary file that stands for `name`, or an empty string.
std::string staged_path(const std::string& name);

}  // namespace diffboot::staging
