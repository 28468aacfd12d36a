#pragma once
// The run state behind a Control, for the library's entries that follow it.
#include "bootstrap/progress.h"
#include "diffboot/diffboot.h"

namespace diffboot {

struct ControlAccess {
  static bootstrap::Progress& progress(Control& c) { return *c.progress_; }
};

}  // namespace diffboot
