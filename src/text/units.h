#pragma once
// The console and the text files of the record layer, known by unit number.
// Units are opened and closed here; records are written and read through
// writer.h and reader.h. A failed flush on closing ends the run as a fatal
// output error.
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "staging/staging.h"

namespace diffboot::text {

// Destination and source number of the console (standard output for records
// written, standard input for records read).
inline constexpr int console = -1;

enum class FileMode { replace, append, read };

// The streams behind the console.
struct ConsoleStreams {
  std::istream* in;
  std::ostream* out;
  std::ostream* err;
};

// Points the console at `streams` (standard input, output and error until a
// caller does so) and forgets any record read from the previous input.
// Returns the streams it was pointed at before.
ConsoleStreams redirect_console(const ConsoleStreams& streams);

// The streams the console is pointed at now.
ConsoleStreams console_streams();

// Points the console at other streams for its lifetime, then back.
class ConsoleRedirect {
 public:
  explicit ConsoleRedirect(const ConsoleStreams& streams) : previous_(redirect_console(streams)) {}
  ~ConsoleRedirect() { redirect_console(previous_); }
  ConsoleRedirect(const ConsoleRedirect&) = delete;
  ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;

  // The streams the console was pointed at before.
  const ConsoleStreams& previous() const { return previous_; }

 private:
  ConsoleStreams previous_;
};

struct RecordState;

// The record layer of one run: its units and their holders, the contents
// read into memory, its console and its staged files. Every function of the
// record layer acts on the records bound to the calling thread (by a
// RecordsScope), or on records of the thread's own outside any run. A run's
// console starts pointed where the calling thread's console was when the
// records were made; destroying the records closes their files and removes
// what they staged and did not commit.
class Records {
 public:
  Records();
  // Records whose console starts pointed at `console`.
  explicit Records(const ConsoleStreams& console);
  ~Records();
  Records(const Records&) = delete;
  Records& operator=(const Records&) = delete;

  // What the records hold (inside the record layer only).
  RecordState& state() { return *state_; }

 private:
  std::unique_ptr<RecordState> state_;
};

// The records bound to the calling thread, or its own.
Records& current_records();

// Binds `records` to the calling thread for its lifetime, then the ones
// before. A run's helper thread binds the run's records to read its files.
class RecordsScope {
 public:
  explicit RecordsScope(Records& records);
  ~RecordsScope();
  RecordsScope(const RecordsScope&) = delete;
  RecordsScope& operator=(const RecordsScope&) = delete;

 private:
  Records* previous_;
  staging::StagingScope staging_;
};

// The stream that takes stop texts and fatal error reports.
std::ostream& error_stream();

// Statuses of open_text_file.
inline constexpr int open_ok = 0;
inline constexpr int open_failed = 1;     // missing, not creatable, a directory, or the unit in use
inline constexpr int open_too_large = 2;  // not a regular file, and more than 1 GiB to read

// Connects the file `name` (exactly as given) to `unit` (0 to 15) in `mode`.
// Replace mode writes a staged file that takes the name on commit
// (staging.h); append mode appends to the staged file of that name when there
// is one. A file to read that is not a regular file (a pipe, a device) is
// read into memory once and read from there at every opening until all files
// are closed. Returns open_ok, open_failed (also for a name holding a NUL
// byte) or open_too_large. A read error
// while taking in such a file is a fatal input error.
int open_text_file(int unit, std::string_view name, FileMode mode);

// Flushes and closes the file on `unit`, keeping it on disk. A failed flush is
// a fatal input/output error naming the file.
void close_text_file(int unit);

// Closes every open file, removes the staged files not committed and forgets
// the contents read into memory. Never throws; returns the report of any file
// whose pending output could not be written (empty if none).
std::string close_all_files() noexcept;

// Whether a file is open on `unit`.
bool unit_is_open(int unit);

// A unit number that belongs to its holder while the holder lives: the
// lowest one that no other Unit holds and no file is open on. Files are
// opened on number() with open_text_file as on any unit.
class Unit {
 public:
  Unit();
  ~Unit();
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;
  int number() const { return number_; }

 private:
  RecordState* records_;
  int number_ = -1;
};

}  // namespace diffboot::text
