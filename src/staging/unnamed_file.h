#pragma once
// A file without a name until it is complete: created in a directory with no
// entry there (O_TMPFILE), reached by other processes only through
// "/dev/fd/N", and given its name at the end. A run that ends before that,
// by any signal, SIGKILL included, leaves nothing behind. Where the file
// system has no unnamed files, the file gets a name of safe characters
// (".diffboot-XXXXXX") that the signal handlers of staging.h and the
// destructor remove.
#include <string>
#include <string_view>

namespace diffboot::staging {

class UnnamedFile {
 public:
  // Creates the file in `directory` (the working directory when empty);
  // error() tells why it could not be.
  explicit UnnamedFile(const std::string& directory);
  ~UnnamedFile();
  UnnamedFile(const UnnamedFile&) = delete;
  UnnamedFile& operator=(const UnnamedFile&) = delete;

  // Empty, or the reason the file could not be created or written.
  const std::string& error() const { return error_; }

  // The descriptor a child process inherits (the caller keeps it open in the
  // child) and the name by which the child opens it.
  int descriptor() const { return fd_; }
  std::string child_path() const;

  // Writes all of `content` at the end of the file; false (with error()) when
  // it could not.
  bool write(std::string_view content);

  // The file's size in bytes, and its last `count` bytes (fewer when it is
  // shorter).
  long long size() const;
  std::string tail(std::size_t count) const;

  // Gives the file the name `path`, replacing whatever is there (a symbolic
  // link or a named pipe is replaced, not written through), or copies it into
  // `path` where output_place.h says it is written in place. Returns an
  // empty string, or the reason it failed (nothing at `path` changed then,
  // unless it is written in place).
  std::string give_name(const std::string& path);

 private:
  std::string directory_;
  std::string named_;  // the fallback's name, empty for an unnamed file
  int fd_ = -1;
  std::string error_;
};

// Holds an exclusive lock on `directory` (flock on the directory itself, so
// no lock file is left) for its lifetime: runs that name their outputs in one
// directory under it do so one after another. Where the lock cannot be had
// the outputs are named without it.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& directory);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace diffboot::staging
