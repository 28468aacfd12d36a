#include "staging/unnamed_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "staging/output_place.h"
#include "staging/staging.h"

namespace diffboot::staging {
namespace {

std::string directory_or_here(const std::string& directory) { return directory.empty() ? "." : directory; }

// A new empty file named `directory`/.diffboot-XXXXXX; its descriptor, or -1.
int named_temporary(const std::string& directory, std::string& name) {
  name = directory_or_here(directory) + "/.diffboot-XXXXXX";
  return mkostemp(name.data(), O_CLOEXEC);
}

// A name `directory`/.diffboot-XXXXXX that is free at this moment.
std::string free_name(const std::string& directory) {
  std::string name;
  const int fd = named_temporary(directory, name);
  if (fd < 0) return {};
  close(fd);
  unlink(name.c_str());
  return name;
}

std::string reason(int error) { return std::strerror(error); }

}  // namespace

UnnamedFile::UnnamedFile(const std::string& directory) : directory_(directory_or_here(directory)) {
  fd_ = open(directory_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, new_file_mode());
  if (fd_ >= 0) return;
  named_ = directory_ + "/.diffboot-XXXXXX";  // where the system makes no unnamed files
  bool no_room = false;
  fd_ = make_temporary(named_, no_room);
  if (fd_ < 0) {
    error_ = "cannot create a file in \"" + directory_ + "\": " + (no_room ? "too many files at once" : reason(errno));
    named_.clear();
    return;
  }
  fchmod(fd_, new_file_mode());
}

UnnamedFile::~UnnamedFile() {
  if (fd_ >= 0) close(fd_);
  if (!named_.empty()) {
    unlink(named_.c_str());
    forget_temporary(named_);
  }
}

std::string UnnamedFile::child_path() const { return "/dev/fd/" + std::to_string(fd_); }

bool UnnamedFile::write(std::string_view content) {
  while (!content.empty() && error_.empty()) {
    const ssize_t written = ::write(fd_, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) error_ = "cannot write a file in \"" + directory_ + "\": " + reason(errno);
    else content.remove_prefix(static_cast<std::size_t>(written));
  }
  return error_.empty();
}

long long UnnamedFile::size() const {
  struct stat info {};
  return fstat(fd_, &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

std::string UnnamedFile::tail(std::size_t count) const {
  const long long total = size();
  if (total <= 0) return {};
  const auto length = static_cast<std::size_t>(std::min<long long>(total, static_cast<long long>(count)));
  std::string out(length, '\0');
  const ssize_t got = pread(fd_, out.data(), length, static_cast<off_t>(total - static_cast<long long>(length)));
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

namespace {

// Copies the whole file `from` into `to`; 0 or the errno of the failure.
int copy_whole(int from, int to) {
  std::string block(std::size_t{1} << 16, '\0');
  for (off_t at = 0;;) {
    const ssize_t got = pread(from, block.data(), block.size(), at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    if (const int error = write_all(to, std::string_view(block.data(), static_cast<std::size_t>(got))); error != 0) {
      return error;
    }
    at += got;
  }
}

}  // namespace

std::string UnnamedFile::give_name(const std::string& path) {
  const OutputPlace place = place_output(path);
  if (place.placement == Placement::refuse) return place.problem;
  if (place.placement == Placement::in_place) {
    const int error = copy_whole(fd_, place.fd);
    close(place.fd);
    return error == 0 ? std::string() : reason(error);
  }
  std::string temp = named_;
  if (temp.empty()) {
    // Linked under a free temporary name first: a link cannot replace what
    // stands at `path`, a rename can.
    temp = free_name(directory_);
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (temp.empty() || !track_temporary(temp)) return "cannot name a file in \"" + directory_ + "\"";
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      forget_temporary(temp);
      return "cannot name a file in \"" + directory_ + "\": " + reason(errno);
    }
  }
  const bool renamed = std::rename(temp.c_str(), path.c_str()) == 0;
  const int error = errno;
  if (!renamed) unlink(temp.c_str());
  forget_temporary(temp);
  named_.clear();
  return renamed ? std::string() : reason(error);
}

DirectoryLock::DirectoryLock(const std::string& directory) {
  fd_ = open(directory_or_here(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace diffboot::staging
