#include "app/run.h"

int main() { return diffboot::app::run_program(); }
