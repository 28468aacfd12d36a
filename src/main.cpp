#include <algorithm>
#include <thread>

#include "app/run.h"

int main() { return diffboot::app::run_program(std::max(1u, std::thread::hardware_concurrency())); }
