#include "staging/staging.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "staging/output_place.h"
#include "staging/staged_output.h"
#include "staging/unnamed_file.h"

namespace diffboot::staging {
namespace {

// The temporary files of every run, where a signal handler may read them: a
// fixed table that is never freed. Writers change it only while they hold
// table_lock with the handled signals blocked in their own thread, so a
// handler, which takes the lock too, never reads a half-written entry and
// never waits for the thread it interrupted. Files that would not fit are
// never made, so every one that exists is in the table.
constexpr std::size_t max_staged = 16;
constexpr std::size_t max_path = 4096;
struct Slot {
  bool used;
  char path[max_path];
};
Slot slots[max_staged];
std::atomic_flag table_lock;

constexpr int handled_signals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds table_lock, with the handled signals blocked in the calling thread,
// for its lifetime.
class TableGuard {
 public:
  TableGuard() noexcept {
    sigset_t block;
    sigemptyset(&block);
    for (int signal : handled_signals) sigaddset(&block, signal);
    pthread_sigmask(SIG_BLOCK, &block, &previous_);
    while (table_lock.test_and_set(std::memory_order_acquire)) sched_yield();
  }
  ~TableGuard() noexcept {
    table_lock.clear(std::memory_order_release);
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  TableGuard(const TableGuard&) = delete;
  TableGuard& operator=(const TableGuard&) = delete;

 private:
  sigset_t previous_;
};

// A free slot of the table, or nullptr. Called under a TableGuard.
Slot* free_slot() {
  for (Slot& slot : slots) {
    if (!slot.used) return &slot;
  }
  return nullptr;
}

// Enters `temp` in `slot`. Called under a TableGuard.
void fill(Slot& slot, const std::string& temp) {
  std::memcpy(slot.path, temp.c_str(), temp.size() + 1);
  slot.used = true;
}

// Takes `temp` out of the table (one entry: another run may have made a
// file of that name since this one removed its own).
void release(const std::string& temp) noexcept {
  const TableGuard guard;
  for (Slot& slot : slots) {
    if (slot.used && temp == slot.path) {
      slot.used = false;
      return;
    }
  }
}

thread_local StagedFiles* bound = nullptr;

// The calling thread's list: its run's, or its own outside any run.
std::vector<StagedFile>& staged() {
  if (bound != nullptr) return bound->files;
  thread_local StagedFiles own;
  return own.files;
}

// Removes the temporary files of `files` and empties it.
void discard(std::vector<StagedFile>& files) noexcept {
  for (const StagedFile& s : files) {
    unlink(s.temp.c_str());
    release(s.temp);
  }
  files.clear();
}

extern "C" void remove_and_reraise(int signal) {
  // A writer holds the lock only with this signal blocked in its thread, so
  // the holder is another thread and lets go soon. The lock is kept: no run
  // makes a file after this one removed the rest.
  while (table_lock.test_and_set(std::memory_order_acquire)) {
  }
  for (const Slot& slot : slots) {
    if (slot.used) unlink(slot.path);
  }
  // The handler was reset on entry: the signal, raised again, takes its
  // default action once this handler returns.
  raise(signal);
}

// Makes a file from the template `temp` (shorter than max_path) and enters
// it in the handlers' table at once, under the table's lock: no signal finds
// the file made but missing from the table. Its descriptor, or -1 with
// errno set, or with `no_room` where the table is full.
int made_and_entered(std::string& temp, bool& no_room) {
  const TableGuard guard;
  Slot* slot = free_slot();
  no_room = slot == nullptr;
  if (no_room) return -1;
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd >= 0) fill(*slot, temp);
  return fd;
}

}  // namespace

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

StagedFiles::~StagedFiles() { discard(files); }

StagingScope::StagingScope(StagedFiles& files) : previous_(bound) { bound = &files; }

StagingScope::~StagingScope() { bound = previous_; }

std::FILE* open_staged(const std::string& name) {
  const std::filesystem::path path(name);
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return nullptr;
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  // A short name of its own, whatever the length of the output's name.
  std::string temp = (dir / ".diffboot-XXXXXX").string();
  if (temp.size() >= max_path) return nullptr;
  std::vector<StagedFile>& list = staged();
  list.reserve(list.size() + 1);
  bool no_room = false;
  const int fd = made_and_entered(temp, no_room);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "wb");
  if (f == nullptr || fchmod(fd, new_file_mode()) != 0) {
    if (f != nullptr) std::fclose(f); else close(fd);
    unlink(temp.c_str());
    release(temp);
    return nullptr;
  }
  list.push_back({name, temp});
  return f;
}

std::string staged_path(const std::string& name) {
  for (const StagedFile& s : staged()) {
    if (s.name == name) return s.temp;
  }
  return {};
}

void commit_text_files() {
  std::vector<StagedFile>& list = staged();
  std::vector<StagedFile> files;
  std::vector<StagedFile> kept;
  for (StagedFile& s : list) (s.name.empty() ? kept : files).push_back(std::move(s));
  list = std::move(kept);
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (std::rename(files[k].temp.c_str(), files[k].name.c_str()) != 0) {
      const int error = errno;
      list.insert(list.end(), files.begin() + static_cast<std::ptrdiff_t>(k), files.end());
      throw OutputError("Output error: cannot write file \"" + files[k].name + "\": " + std::strerror(error));
    }
    release(files[k].temp);
  }
}

std::string write_whole_file(const std::string& path, std::string_view content) {
  const OutputPlace place = place_output(path);
  if (place.placement == Placement::refuse) return "cannot write \"" + path + "\": " + place.problem;
  if (place.placement == Placement::in_place) {
    const int error = write_all(place.fd, content);
    const bool closed = close(place.fd) == 0 || errno == EINTR;
    if (error != 0 || !closed) return "cannot write \"" + path + "\": " + std::strerror(error != 0 ? error : errno);
    return {};
  }
  const std::string directory = std::filesystem::path(path).parent_path().string();
  UnnamedFile file(directory);
  if (!file.write(content)) return file.error();
  if (std::string problem = file.give_name(path); !problem.empty()) return "cannot write \"" + path + "\": " + problem;
  return {};
}

bool track_temporary(const std::string& temp) {
  if (temp.size() >= max_path) return false;
  std::vector<StagedFile>& list = staged();
  list.reserve(list.size() + 1);
  {
    const TableGuard guard;
    Slot* slot = free_slot();
    if (slot == nullptr) return false;
    fill(*slot, temp);
  }
  list.push_back({{}, temp});
  return true;
}

int make_temporary(std::string& temp, bool& no_room) {
  no_room = temp.size() >= max_path;
  if (no_room) return -1;
  std::vector<StagedFile>& list = staged();
  list.reserve(list.size() + 1);
  const int fd = made_and_entered(temp, no_room);
  if (fd >= 0) list.push_back({{}, temp});
  return fd;
}

void forget_temporary(const std::string& temp) {
  std::vector<StagedFile>& list = staged();
  const auto gone =
      std::remove_if(list.begin(), list.end(), [&](const StagedFile& s) { return s.name.empty() && s.temp == temp; });
  if (gone == list.end()) return;
  list.erase(gone, list.end());
  release(temp);
}

void discard_text_files() noexcept { discard(staged()); }

void remove_staged_files_on_signals() {
  struct sigaction action {};
  action.sa_handler = remove_and_reraise;
  action.sa_flags = SA_RESETHAND;
  // One handler at a time in a thread: a second signal waits, and never
  // finds the table locked by the handler it interrupted.
  sigemptyset(&action.sa_mask);
  for (int signal : handled_signals) sigaddset(&action.sa_mask, signal);
  for (int signal : handled_signals) sigaction(signal, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace diffboot::staging
