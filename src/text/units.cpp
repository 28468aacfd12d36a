#include "text/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <stdexcept>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>

#include "staging/output_place.h"
#include "staging/staged_output.h"
#include "staging/staging.h"
#include "text/open_files.h"
#include "text/stops.h"

namespace diffboot::text {
namespace {

thread_local Records* bound = nullptr;

bool valid_unit(int unit) { return unit >= 0 && unit < unit_count; }

// Files that are not regular files (pipes, devices) can be read only once:
// their content is read into memory on the first opening and every later
// opening reads it from there, until all files are closed.
constexpr std::size_t max_unseekable = std::size_t{1} << 30;

using Content = std::shared_ptr<const std::vector<char>>;

std::map<std::string, Content>& read_once() { return current_state().read_once; }

std::array<std::unique_ptr<OpenFile>, unit_count>& units() { return current_state().units; }

// The whole content of `fd`; nullptr beyond max_unseekable bytes.
Content read_whole(int fd, const std::string& name) {
  auto content = std::make_shared<std::vector<char>>();
  std::vector<char> block(std::size_t{1} << 16);
  for (;;) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got == 0) return content;
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      fatal_io_error("Input error: cannot read file \"" + name + "\": " + std::strerror(error));
    }
    if (content->size() + static_cast<std::size_t>(got) > max_unseekable) return nullptr;
    content->insert(content->end(), block.data(), block.data() + got);
  }
}

// Opens `file` for reading; a directory is refused, since it holds no records.
int open_for_reading(OpenFile& file) {
  if (const auto cached = read_once().find(file.name); cached != read_once().end()) {
    file.memory = cached->second;
    file.end = file.memory->size();
    return open_ok;
  }
  const int fd = ::open(file.name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return open_failed;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return open_failed;
  }
  if (!S_ISREG(info.st_mode)) {
    Content content = read_whole(fd, file.name);
    ::close(fd);
    if (!content) return open_too_large;
    read_once()[file.name] = content;
    file.memory = content;
    file.end = content->size();
    return open_ok;
  }
  file.file = fdopen(fd, "rb");
  if (file.file == nullptr) ::close(fd);
  return file.file == nullptr ? open_failed : open_ok;
}

// Opens for appending: the staged content of an output not yet committed,
// or else an existing file; a missing file is not created.
std::FILE* open_for_appending(const std::string& name) {
  const std::string staged = staging::staged_path(name);
  const int fd = ::open((staged.empty() ? name : staged).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "ab");
  if (f == nullptr) ::close(fd);
  return f;
}

// Opens for replacing: what output_place.h says is written in place (a
// device, a descriptor of this process) is opened as it is, a block device
// or a socket is not opened, anything else (a regular file, a symbolic link,
// a pipe, nothing) is replaced on commit.
std::FILE* open_for_replacing(const std::string& name) {
  const staging::OutputPlace place = staging::place_output(name);
  if (place.placement == staging::Placement::replace) return staging::open_staged(name);
  if (place.placement == staging::Placement::refuse) return nullptr;
  std::FILE* f = fdopen(place.fd, "wb");
  if (f == nullptr) ::close(place.fd);
  return f;
}

int open_in_mode(OpenFile& file) {
  switch (file.mode) {
    case FileMode::replace: file.file = open_for_replacing(file.name); break;
    case FileMode::append: file.file = open_for_appending(file.name); break;
    case FileMode::read: return open_for_reading(file);
  }
  return file.file == nullptr ? open_failed : open_ok;
}

// Closes one file; returns an empty string or the report of a failed flush.
std::string close_file(OpenFile& file) {
  if (file.file == nullptr) return {};
  const bool failed = std::ferror(file.file) != 0;
  const int saved = errno;
  const bool close_failed = std::fclose(file.file) != 0;
  if (file.mode == FileMode::read || (!failed && !close_failed)) return {};
  return "Output error: cannot write file \"" + file.name + "\": " +
         std::strerror(close_failed ? errno : saved);
}

}  // namespace

Records& current_records() {
  if (bound != nullptr) return *bound;
  thread_local Records own(ConsoleStreams{&std::cin, &std::cout, &std::cerr});
  return own;
}

RecordState& current_state() { return current_records().state(); }

Records::Records() : Records(console_streams()) {}

Records::Records(const ConsoleStreams& console) : state_(std::make_unique<RecordState>()) {
  state_->console.streams = console;
}

Records::~Records() {
  const RecordsScope closing(*this);
  close_all_files();
}

RecordsScope::RecordsScope(Records& records) : previous_(bound), staging_(records.state().staged) {
  bound = &records;
}

RecordsScope::~RecordsScope() { bound = previous_; }

Console& console_state() { return current_state().console; }

ConsoleStreams redirect_console(const ConsoleStreams& streams) {
  Console& c = console_state();
  const ConsoleStreams previous = c.streams;
  c.streams = streams;
  c.input = {};
  return previous;
}

ConsoleStreams console_streams() { return console_state().streams; }

std::ostream& error_stream() { return *console_state().streams.err; }

int open_text_file(int unit, std::string_view name, FileMode mode) {
  const std::string path(name);
  // A name with a NUL byte names no file: the system would take its part before the NUL.
  if (path.empty() || path.find('\0') != std::string::npos || !valid_unit(unit) || find_unit(unit) != nullptr) {
    return open_failed;
  }
  auto file = std::make_unique<OpenFile>();
  file->name = path;
  file->mode = mode;
  const int status = open_in_mode(*file);
  if (status == open_ok) units()[static_cast<std::size_t>(unit)] = std::move(file);
  return status;
}

void close_text_file(int unit) {
  if (find_unit(unit) == nullptr) return;
  std::unique_ptr<OpenFile> file = std::move(units()[static_cast<std::size_t>(unit)]);
  const std::string report = close_file(*file);
  if (!report.empty()) fatal_io_error(report);
}

std::string close_all_files() noexcept {
  std::string reports;
  for (std::unique_ptr<OpenFile>& slot : units()) {
    if (!slot) continue;
    std::unique_ptr<OpenFile> file = std::move(slot);
    const std::string report = close_file(*file);
    if (!report.empty()) reports += report + "\r\n";
  }
  staging::discard_text_files();
  read_once().clear();
  return reports;
}

bool unit_is_open(int unit) { return find_unit(unit) != nullptr; }

Unit::Unit() : records_(&current_state()) {
  for (int u = 0; u < unit_count && number_ < 0; ++u) {
    if (!records_->taken[static_cast<std::size_t>(u)] && find_unit(u) == nullptr) number_ = u;
  }
  if (number_ < 0) throw std::length_error("every unit of the record layer is taken");
  records_->taken[static_cast<std::size_t>(number_)] = true;
}

Unit::~Unit() { records_->taken[static_cast<std::size_t>(number_)] = false; }

OpenFile* find_unit(int unit) { return valid_unit(unit) ? units()[static_cast<std::size_t>(unit)].get() : nullptr; }

}  // namespace diffboot::text
