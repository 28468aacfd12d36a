#include "text/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <array>

#include "text/open_files.h"
#include "text/run_end.h"

namespace diffboot::text {
namespace {

// Units 0 to 15; the program uses 1, 2 and 6.
constexpr int unit_count = 16;

std::array<std::unique_ptr<OpenFile>, unit_count>& units() {
  static std::array<std::unique_ptr<OpenFile>, unit_count> table;
  return table;
}

bool valid_unit(int unit) { return unit >= 0 && unit < unit_count; }

std::string_view without_trailing_blanks(std::string_view name) {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

// Opens for reading; a directory is refused, since it holds no records.
std::FILE* open_for_reading(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return nullptr;
  struct stat info {};
  if (fstat(fileno(f), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return f;
}

// Opens an existing file for appending; a missing file is not created.
std::FILE* open_for_appending(const std::string& name) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "ab");
  if (f == nullptr) ::close(fd);
  return f;
}

std::FILE* open_in_mode(const std::string& name, FileMode mode) {
  switch (mode) {
    case FileMode::replace: return std::fopen(name.c_str(), "wbe");
    case FileMode::append: return open_for_appending(name);
    case FileMode::read: return open_for_reading(name);
  }
  return nullptr;
}

// Closes one file; returns an empty string or the report of a failed flush.
std::string close_file(OpenFile& file) {
  const bool failed = std::ferror(file.file) != 0;
  const int saved = errno;
  const bool close_failed = std::fclose(file.file) != 0;
  if (file.mode == FileMode::read || (!failed && !close_failed)) return {};
  return "Output error: cannot write file \"" + file.name + "\": " +
         std::strerror(close_failed ? errno : saved);
}

}  // namespace

Console& console_state() {
  static Console c{{&std::cin, &std::cout, &std::cerr}, {}};
  return c;
}

ConsoleStreams redirect_console(const ConsoleStreams& streams) {
  Console& c = console_state();
  const ConsoleStreams previous = c.streams;
  c.streams = streams;
  c.input = {};
  return previous;
}

std::ostream& error_stream() { return *console_state().streams.err; }

int open_text_file(int unit, std::string_view name, FileMode mode) {
  const std::string path(without_trailing_blanks(name));
  if (path.empty() || !valid_unit(unit) || find_unit(unit) != nullptr) return 1;
  std::FILE* f = open_in_mode(path, mode);
  if (f == nullptr) return 1;
  auto file = std::make_unique<OpenFile>();
  file->file = f;
  file->name = path;
  file->mode = mode;
  units()[static_cast<std::size_t>(unit)] = std::move(file);
  return 0;
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
  return reports;
}

bool unit_is_open(int unit) { return find_unit(unit) != nullptr; }

OpenFile* find_unit(int unit) { return valid_unit(unit) ? units()[static_cast<std::size_t>(unit)].get() : nullptr; }

}  // namespace diffboot::text
