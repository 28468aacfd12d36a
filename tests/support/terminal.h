#pragma once
// Test support: a pseudo-terminal, for what the program does only at a
// terminal.
#include <string>

namespace diffboot::testing {

// A pseudo-terminal pair: master() is the keyboard and the screen, slave()
// the terminal a program reads and writes.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  int master() const { return master_; }
  int slave() const { return slave_; }

  // Types `keys` (whole lines) and waits until the terminal holds them unread.
  void type(const std::string& keys) const;
  // What the terminal holds unread, read from it.
  std::string unread() const;

 private:
  int master_ = -1, slave_ = -1;
};

// Points descriptor `fd` at `to` for its lifetime.
class Redirected {
 public:
  Redirected(int fd, int to);
  ~Redirected();
  Redirected(const Redirected&) = delete;
  Redirected& operator=(const Redirected&) = delete;

 private:
  int fd_, saved_;
};

}  // namespace diffboot::testing
