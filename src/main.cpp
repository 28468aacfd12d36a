#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "app/batch.h"
#include "app/run.h"

// No arguments: the dialogue. Arguments: a batch run driven by them.
int main(int argc, char** argv) {
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  if (argc <= 1) return diffboot::app::run_program(threads);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return diffboot::app::run_command_line(args, threads);
}
