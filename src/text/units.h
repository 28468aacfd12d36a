#pragma once
// The console streams and the table of open text files, known by unit number.
// This is the record layer's only state: it lives for the whole process.
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::text {

// Destination and source number of the console (standard output for records
// written, standard input for records read).
inline constexpr int console = -1;

enum class FileMode { replace, append, read };

// Where a source keeps the record it has read last.
struct RecordInput {
  std::string record;          // the last record read, CR removed
  bool overlong = false;       // the record was longer than can be held and was cut
  bool replay = false;         // the next read returns `record` again
  bool has_record = false;     // a record has been read since the source opened
  std::int64_t number = 0;     // number of the last record read, from 1
};

struct OpenFile {
  std::FILE* file = nullptr;
  std::string name;
  FileMode mode = FileMode::read;
  std::vector<char> buffer;    // read ahead of a file in read mode
  std::size_t begin = 0, end = 0;
  bool at_eof = false;
  RecordInput input;
};

struct Console {
  std::istream* in;
  std::ostream* out;
  std::ostream* err;
  RecordInput input;
};

// The console streams; standard input, output and error unless a test has
// pointed them elsewhere.
Console& console_streams();

// Connects `name` (trailing blanks dropped) to `unit` in `mode`. Returns 0 on
// success, non-zero when the file cannot be opened: missing in append or read
// mode, not creatable, a directory, or the unit already in use.
int open_text_file(int unit, std::string_view name, FileMode mode);

// Flushes and closes the file on `unit`, keeping it on disk. A failed flush is
// a fatal input/output error naming the file.
void close_text_file(int unit);

// Closes every open file, keeping what was written. Never throws; returns the
// report of any file whose pending output could not be written (empty if none).
std::string close_all_files() noexcept;

// The file open on `unit`, or nullptr.
OpenFile* find_unit(int unit);

}  // namespace diffboot::text
