// A work area at a chosen distance from a multiple of 8, surrounded by guard
// bytes, to check that records stay inside areas of the minimum size at any
// address.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

namespace rttest {

class GuardedArea {
 public:
  static constexpr unsigned char kGuard = 0xA5;
  GuardedArea(std::size_t misalignment, std::size_t size) : offset_(32 + misalignment), size_(size) {
    bytes_.fill(kGuard);
  }
  void* area() { return bytes_.data() + offset_; }
  std::size_t misalignment() const { return offset_ % 8; }
  // True while no byte outside the area has changed.
  bool GuardsIntact() const {
    const auto begin = bytes_.begin();
    const auto is_guard = [](unsigned char b) { return b == kGuard; };
    return std::all_of(begin, begin + offset_, is_guard) &&
           std::all_of(begin + offset_ + size_, bytes_.end(), is_guard);
  }

 private:
  alignas(8) std::array<unsigned char, 192> bytes_{};
  std::size_t offset_;
  std::size_t size_;
};

}  // namespace rttest
