// Keys typed at a terminal while another program's window had them.
#include "terminal/terminal_line.h"

#include <gtest/gtest.h>

#include "support/terminal.h"

namespace diffboot::terminal {
namespace {

TEST(TerminalLineTest, TypedAheadKeysAreDiscarded) {
  const testing::PseudoTerminal terminal;
  ASSERT_GE(terminal.slave(), 0);
  terminal.type("\nq\n");  // Enter and q, meant for the plot window
  discard_typed_ahead(terminal.slave());
  terminal.type("u\n");
  EXPECT_EQ(terminal.unread(), "u\n") << "only what is typed after the plot";
  discard_typed_ahead(-1);  // not a terminal: nothing to do
}

}  // namespace
}  // namespace diffboot::terminal
