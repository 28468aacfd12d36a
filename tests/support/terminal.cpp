#include "support/terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace diffboot::testing {

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
  }
}

PseudoTerminal::~PseudoTerminal() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

void PseudoTerminal::type(const std::string& keys) const {
  if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) return;
  // The terminal takes typed keys in a moment of its own: wait for them.
  for (int held = 0; ioctl(slave_, FIONREAD, &held) == 0 && held < static_cast<int>(keys.size());) usleep(1000);
}

std::string PseudoTerminal::unread() const {
  int held = 0;
  if (ioctl(slave_, FIONREAD, &held) != 0 || held <= 0) return {};
  std::string out(static_cast<std::size_t>(held), '\0');
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = read(slave_, out.data() + got, out.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return out;
}

Redirected::Redirected(int fd, int to) : fd_(fd), saved_(dup(fd)) { dup2(to, fd); }

Redirected::~Redirected() {
  dup2(saved_, fd_);
  close(saved_);
}

}  // namespace diffboot::testing
