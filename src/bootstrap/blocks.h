#pragma once
// Work drawn from the one random stream, split into contiguous blocks that
// run on threads of their own and still give the bits of one thread.
#include <algorithm>
#include <cstdint>
#include <future>
#include <system_error>
#include <vector>

#include "numeric/random.h"

namespace diffboot::bootstrap {

// Runs replications [0, count) in contiguous blocks, one per thread, through
// run_block(begin, end, generator, last). Each block's generator starts at
// the block's first deviate in the one stream (`per_replication` deviates a
// replication), so every replicate is the same bits as from one thread. The
// last block runs on the calling thread with `g`, which ends where a single
// thread would have left it; without a thread to be had a block runs in its
// place instead.
template <typename Block>
void replicate_in_blocks(numeric::UniformState& g, std::size_t count, std::uint64_t per_replication, unsigned threads,
                         const Block& run_block) {
  const std::size_t blocks = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(count, 1));
  const auto start = [&](std::size_t b) { return count * b / blocks; };
  std::vector<std::future<void>> workers;
  for (std::size_t b = 0; b + 1 < blocks; ++b) {
    numeric::UniformState gen = g;
    numeric::skip_deviates(gen, start(b) * per_replication);
    const std::size_t begin = start(b), end = start(b + 1);
    try {
      workers.push_back(std::async(std::launch::async, [&run_block, begin, end, gen]() mutable {
        run_block(begin, end, gen, false);
      }));
    } catch (const std::system_error&) {
      run_block(begin, end, gen, false);
    }
  }
  numeric::skip_deviates(g, start(blocks - 1) * per_replication);
  run_block(start(blocks - 1), count, g, true);
  for (std::future<void>& w : workers) w.get();
}

}  // namespace diffboot::bootstrap
