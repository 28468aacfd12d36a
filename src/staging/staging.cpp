#include "staging/staging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
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

struct Staged {
  std::string name;  // the output file's name; empty for a caller's own temporary file
  std::string temp;  // the temporary file written in its place
};

std::vector<Staged>& staged() {
  static std::vector<Staged> files;
  return files;
}

// The temporary files' paths where a signal handler may read them: a fixed
// table filled before its count is raised, so the handler never sees a half
// written entry.
constexpr std::size_t max_staged = 16;
constexpr std::size_t max_path = 4096;
char signal_paths[max_staged][max_path];
volatile std::sig_atomic_t signal_count = 0;

// Whether one more temporary file fits the table: files that would not
// fit are never made, so every one that exists is in the table.
bool room_for(const std::string& temp) { return staged().size() < max_staged && temp.size() < max_path; }

void publish_for_signals() {
  signal_count = 0;
  std::size_t k = 0;
  for (const Staged& s : staged()) {
    std::memcpy(signal_paths[k], s.temp.c_str(), s.temp.size() + 1);
    ++k;
  }
  signal_count = static_cast<std::sig_atomic_t>(k);
}

extern "C" void remove_and_reraise(int signal) {
  for (std::sig_atomic_t k = 0; k < signal_count; ++k) unlink(signal_paths[k]);
  // The handler was reset on entry: the signal, raised again, takes its
  // default action once this handler returns.
  raise(signal);
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::FILE* open_staged(const std::string& name) {
  const std::filesystem::path path(name);
  std::error_code error;
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  // A short name of its own, whatever the length of the output's name.
  std::string temp = (dir / ".diffboot-XXXXXX").string();
  if (!room_for(temp) || std::filesystem::is_directory(path, error)) return nullptr;
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "wb");
  if (f == nullptr || fchmod(fd, new_file_mode()) != 0) {
    if (f != nullptr) std::fclose(f); else close(fd);
    unlink(temp.c_str());
    return nullptr;
  }
  staged().push_back({name, temp});
  publish_for_signals();
  return f;
}

std::string staged_path(const std::string& name) {
  for (const Staged& s : staged()) {
    if (s.name == name) return s.temp;
  }
  return {};
}

void commit_text_files() {
  std::vector<Staged> files;
  std::vector<Staged> kept;
  for (Staged& s : staged()) (s.name.empty() ? kept : files).push_back(std::move(s));
  staged() = std::move(kept);
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (std::rename(files[k].temp.c_str(), files[k].name.c_str()) != 0) {
      const int error = errno;
      staged().insert(staged().end(), files.begin() + static_cast<std::ptrdiff_t>(k), files.end());
      throw OutputError("Output error: cannot write file \"" + files[k].name + "\": " + std::strerror(error));
    }
  }
  publish_for_signals();
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
  if (!room_for(temp)) return false;
  staged().push_back({{}, temp});
  publish_for_signals();
  return true;
}

void forget_temporary(const std::string& temp) {
  std::erase_if(staged(), [&](const Staged& s) { return s.name.empty() && s.temp == temp; });
  publish_for_signals();
}

void discard_text_files() noexcept {
  signal_count = 0;
  for (const Staged& s : staged()) unlink(s.temp.c_str());
  staged().clear();
}

void remove_staged_files_on_signals() {
  struct sigaction action {};
  action.sa_handler = remove_and_reraise;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace diffboot::staging
