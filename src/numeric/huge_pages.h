#pragma once
// Memory for large arrays read at random: in 2 MiB pages where the system
// gives them (Linux's transparent huge pages, asked for with madvise), so
// that random reads over hundreds of megabytes do not also miss the
// processor's address translation cache on almost every read. Smaller
// arrays, and systems without such pages, get ordinary memory.
#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace diffboot::numeric {

inline constexpr std::size_t huge_page = std::size_t{1} << 21;

template <typename T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  explicit HugePageAllocator(const HugePageAllocator<U>&) {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < huge_page) return std::allocator<T>().allocate(n);
    const std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
    void* p = std::aligned_alloc(huge_page, rounded);
    if (p == nullptr) throw std::bad_alloc();
    madvise(p, rounded, MADV_HUGEPAGE);  // a request: without huge pages the memory is ordinary
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < huge_page) return std::allocator<T>().deallocate(p, n);
    std::free(p);
  }
  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const {
    return true;
  }
};

template <typename T>
using LargeArray = std::vector<T, HugePageAllocator<T>>;

}  // namespace diffboot::numeric
