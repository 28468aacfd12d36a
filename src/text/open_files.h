#pragma once
// Inside the record layer only: the table of open files with the reader's
// read-ahead, and the record each source has read last.
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "staging/staging.h"
#include "text/units.h"

namespace diffboot::text {

// Where a source keeps the record it has read last.
struct RecordInput {
  std::string record;          // the last record read, CR removed
  bool overlong = false;       // the record was longer than can be held and was cut
  bool replay = false;         // the next read returns `record` again
  bool has_record = false;     // a record has been read since the source opened
  bool may_hold_cr = true;     // the record may hold carriage returns still to be dropped
  bool decimal_comma = false;  // commas are read as decimal points
  std::int64_t number = 0;     // number of the last record read, from 1
};

struct OpenFile {
  std::FILE* file = nullptr;   // null for a file read from memory
  std::string name;
  FileMode mode = FileMode::read;
  std::vector<char> buffer;    // read ahead of a file in read mode
  std::shared_ptr<const std::vector<char>> memory;  // the whole content of a file that is not a regular file
  std::size_t begin = 0, end = 0;  // unread part of `buffer` (or of `memory`)
  bool cr_ahead = true;            // the unread part may hold a carriage return
  bool at_eof = false;
  RecordInput input;
};

struct Console {
  ConsoleStreams streams;
  RecordInput input;
};

// Units 0 to 15, each taken by a Unit while it lives.
inline constexpr int unit_count = 16;

// What a run's records hold.
struct RecordState {
  std::array<std::unique_ptr<OpenFile>, unit_count> units;
  std::array<bool, unit_count> taken{};
  // Contents of files that are not regular files, read once (units.cpp).
  std::map<std::string, std::shared_ptr<const std::vector<char>>> read_once;
  Console console;
  staging::StagedFiles staged;
};

// What the calling thread's records hold.
RecordState& current_state();

// The console's streams and the record last read from it.
Console& console_state();

// The file open on `unit`, or nullptr.
OpenFile* find_unit(int unit);

}  // namespace diffboot::text
