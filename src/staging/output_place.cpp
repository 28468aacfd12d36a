#include "staging/output_place.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

namespace diffboot::staging {
namespace {

// `path` with its directory resolved (links, ".", ".."): the entry itself
// is kept, link or not; nothing when the directory does not resolve.
std::optional<std::string> resolved_directory(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char buffer[PATH_MAX];
  if (name.empty() || name == "." || name == ".." || realpath(dir.c_str(), buffer) == nullptr) return std::nullopt;
  const std::string resolved = buffer;
  return (resolved == "/" ? "" : resolved) + "/" + name;
}

bool starts_with_number(std::string_view& s, long& value) {
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || end == s.data()) return false;
  s.remove_prefix(static_cast<std::size_t>(end - s.data()));
  return true;
}

// The descriptor N when `resolved` is /proc/PID/fd/N or
// /proc/PID/task/TID/fd/N of this process.
std::optional<int> descriptor_named(std::string_view resolved) {
  long pid = 0, number = 0;
  if (!resolved.starts_with("/proc/")) return std::nullopt;
  resolved.remove_prefix(6);
  if (!starts_with_number(resolved, pid) || pid != getpid()) return std::nullopt;
  if (resolved.starts_with("/task/")) {
    resolved.remove_prefix(6);
    long tid = 0;
    if (!starts_with_number(resolved, tid)) return std::nullopt;
  }
  if (!resolved.starts_with("/fd/")) return std::nullopt;
  resolved.remove_prefix(4);
  if (!starts_with_number(resolved, number) || !resolved.empty() || number > INT_MAX) return std::nullopt;
  return static_cast<int>(number);
}

// Follows `path` link by link: the descriptor of this process it leads to,
// if any; `in_system` tells whether any step passed through /dev or /proc.
std::optional<int> own_descriptor(std::string path, bool& in_system) {
  in_system = false;
  for (int hop = 0; hop < 40; ++hop) {
    const std::optional<std::string> resolved = resolved_directory(path);
    if (!resolved) return std::nullopt;
    if (resolved->starts_with("/dev/") || resolved->starts_with("/proc/")) in_system = true;
    if (const std::optional<int> fd = descriptor_named(*resolved)) return fd;
    char target[PATH_MAX];
    const ssize_t length = readlink(resolved->c_str(), target, sizeof target - 1);
    if (length <= 0) return std::nullopt;
    const std::string link(target, static_cast<std::size_t>(length));
    path = link.front() == '/' ? link : resolved->substr(0, resolved->rfind('/') + 1) + link;
  }
  return std::nullopt;
}

OutputPlace refused(std::string problem) { return {Placement::refuse, -1, std::move(problem)}; }

OutputPlace opened(const std::string& path, int flags) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | flags);
  if (fd < 0) return refused(std::strerror(errno));
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return {Placement::in_place, fd, {}};
}

}  // namespace

OutputPlace place_output(const std::string& path) {
  bool in_system = false;
  if (const std::optional<int> own = own_descriptor(path, in_system)) {
    const int fd = fcntl(*own, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return refused("descriptor " + std::to_string(*own) + " is not open");
    return {Placement::in_place, fd, {}};
  }
  struct stat info {};
  const bool exists = stat(path.c_str(), &info) == 0;
  if (exists && S_ISBLK(info.st_mode)) return refused("it is a block device");
  if (exists && S_ISSOCK(info.st_mode)) return refused("it is a socket");
  if (exists && S_ISCHR(info.st_mode)) return opened(path, 0);
  if (!in_system) return {};
  // An entry of /dev or /proc is the system's: it is never replaced.
  struct stat entry {};
  if (!exists && lstat(path.c_str(), &entry) != 0) return {};  // nothing there: a new file may be made
  if (!exists) return refused("it leads to nothing that can be written");
  if (S_ISDIR(info.st_mode)) return refused(std::strerror(EISDIR));
  return opened(path, S_ISREG(info.st_mode) ? O_TRUNC : 0);
}

int write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

}  // namespace diffboot::staging
