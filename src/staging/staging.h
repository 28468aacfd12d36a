#pragma once
// Output files are never half-written: a file opened in replace mode is
// written to a new temporary file beside it, which takes the file's name
// only when the run commits it. A run that ends before (a stop, a fatal
// error, an interrupt or termination signal) removes its temporary files and
// leaves any earlier file of that name as it was.
#include <stdexcept>
#include <string>
#include <string_view>

namespace diffboot::staging {

// An output file that could not take its name: what() is the report, one
// line for standard error (a fatal output error of the run).
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Gives every completed output file its name, replacing what was there (a
// symbolic link is replaced, not written through). A rename that fails
// throws OutputError naming the file; the files not yet named stay staged.
void commit_text_files();

// Writes `content` to an unnamed file beside `path` (unnamed_file.h) and
// gives it the name `path` at once, or into `path` itself where
// output_place.h says so. Returns an empty string, or the reason it failed
// (the earlier file of that name then stays as it was).
std::string write_whole_file(const std::string& path, std::string_view content);

// Records `temp`, a temporary file of the caller's, for removal by the signal
// handlers and by discard_text_files until forget_temporary(temp); false
// when no more can be recorded (the caller must not make the file then).
bool track_temporary(const std::string& temp);
void forget_temporary(const std::string& temp);

// Removes the temporary files of outputs not yet committed. Never throws.
void discard_text_files() noexcept;

// From now on SIGINT, SIGTERM and SIGHUP first remove the temporary files
// of uncommitted outputs, then end the process as the signal would; SIGXFSZ
// is ignored, so that a write beyond the file size limit fails (EFBIG) and
// is reported like any other failed write.
void remove_staged_files_on_signals();

}  // namespace diffboot::staging
