#pragma once
// Two pieces of work side by side on two threads, with the outcome of doing
// them one after the other: used to take both samples at once.
#include <future>
#include <system_error>
#include <type_traits>
#include <utility>

namespace diffboot::numeric {

// Runs `second` on another thread while `first` runs on this one and returns
// both results. When `first` throws (ends the run), that is what the caller
// sees, after the other thread has finished; without a thread to be had,
// `second` runs here afterwards. `second` must write nothing that `first`'s
// end would have kept from being written.
template <typename First, typename Second>
std::pair<std::invoke_result_t<First>, std::invoke_result_t<Second>> side_by_side(First first, Second second) {
  std::future<std::invoke_result_t<Second>> other;
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  // WebAssembly without threads: an asynchronous launch would wait forever.
  other = std::async(std::launch::deferred, second);
#else
  try {
    other = std::async(std::launch::async, second);
  } catch (const std::system_error&) {
    other = std::async(std::launch::deferred, second);
  }
#endif
  auto result = first();
  return {std::move(result), other.get()};
}

}  // namespace diffboot::numeric
