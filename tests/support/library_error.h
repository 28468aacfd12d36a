#pragma once
// Test support: the numerical library's failures as values.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "numeric/errors.h"

namespace diffboot::testing {

// Runs `body` and returns the LibraryError it throws as "record | stop text";
// fails the test if it returns.
inline std::string library_error_of(const std::function<void()>& body) {
  try {
    body();
  } catch (const numeric::LibraryError& e) {
    return e.record() + " | " + e.stop_text();
  }
  ADD_FAILURE() << "no library error";
  return {};
}

}  // namespace diffboot::testing
