#pragma once
// Output files are never half-written: a file opened in replace mode is
// written to a new temporary file beside it, which takes the file's name
// only when the run commits it. A run that ends before (a stop, a fatal
// error, an interrupt or termination signal) removes its temporary files and
// leaves any earlier file of that name as it was.
#include <sys/types.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::staging {

// An output file that could not take its name: what() is the report, one
// line for standard error (a fatal output error of the run).
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An output file written in its temporary file until committed.
struct StagedFile {
  std::string name;  // the output file's name; empty for a caller's own temporary file
  std::string temp;  // the temporary file written in its place
};

// The staged files of one run. The functions below act on the list of the
// calling thread's run (a StagingScope binds it), or on a list of the
// thread's own outside any run. Destroying a list removes its files not
// committed.
class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  std::vector<StagedFile> files;
};

// Makes `files` the calling thread's list for its lifetime, then the one
// before.
class StagingScope {
 public:
  explicit StagingScope(StagedFiles& files);
  ~StagingScope();
  StagingScope(const StagingScope&) = delete;
  StagingScope& operator=(const StagingScope&) = delete;

 private:
  StagedFiles* previous_;
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

// The mode a new output file gets, whether staged or unnamed: 0666 less the
// process's umask, as an ordinary open() would give it.
mode_t new_file_mode();

// Records `temp`, a temporary file of the caller's, for removal by the signal
// handlers and by discard_text_files until forget_temporary(temp); false
// when no more can be recorded (the caller must not make the file then).
bool track_temporary(const std::string& temp);
void forget_temporary(const std::string& temp);

// Makes a new empty file from the template `temp` (ending in XXXXXX, which
// is replaced) and records it as track_temporary does, in one step: no
// signal finds the file made but unrecorded. Its descriptor, or -1 with
// errno set, or with `no_room` where no more can be recorded.
int make_temporary(std::string& temp, bool& no_room);

// Removes the temporary files of outputs not yet committed (of the calling
// thread's list). Never throws.
void discard_text_files() noexcept;

// From now on SIGINT, SIGTERM and SIGHUP first remove the temporary files
// of every run's uncommitted outputs (16 at most at once, in all runs),
// then end the process as the signal would; SIGXFSZ is ignored, so that a
// write beyond the file size limit fails (EFBIG) and is reported like any
// other failed write.
void remove_staged_files_on_signals();

}  // namespace diffboot::staging
