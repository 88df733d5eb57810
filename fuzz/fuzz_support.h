// Support for the fuzz targets of the adapters: a fuzz input is read front to back as the
// arguments of one adapter call. Counts come from one byte each and stay small so that a run
// stays fast; every other value may be anything, including NaN, infinities, the undefined
// value and extreme integers. Each array is a heap block of exactly the elements its count
// declares, so that AddressSanitizer sees any access past what the caller supplied.
// Encoding (also used by make_seeds.py): see ArgumentStream below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <span>

namespace tovalin::fuzz {

// Largest block a routine may obtain while a call runs, bytes: work storage beyond it is
// refused with std::bad_alloc, as a host short of memory would refuse it, which keeps every
// call fast and exercises the routines' storage-failure paths.
inline constexpr std::size_t kAllocationCapBytes = std::size_t{1} << 16;

// While an AllocationCap lives on this thread, operator new refuses blocks above the cap.
class AllocationCap {
 public:
  AllocationCap() noexcept;
  ~AllocationCap();
  AllocationCap(const AllocationCap&) = delete;
  AllocationCap& operator=(const AllocationCap&) = delete;
};

// Reads the input as a sequence of arguments; past its end every byte reads as 0.
//   count(limit): one byte b -> b mod (limit + 3) - 2, so -2..limit.
//   integer():    tag byte t; t mod 3 = 0: 4 raw little-endian bytes; 1: one signed byte;
//                 2: one byte choosing among kSpecialIntegers.
//   real():       tag byte t; t mod 4 = 0: 8 raw little-endian bytes of the IEEE bits;
//                 1: one signed byte, a whole number; 2: one byte choosing among
//                 kSpecialReals; 3: two signed little-endian bytes in hundredths.
class ArgumentStream {
 public:
  ArgumentStream(const std::uint8_t* data, std::size_t size) noexcept : data_(data), size_(size) {}

  std::uint8_t byte() noexcept { return position_ < size_ ? data_[position_++] : 0; }
  std::int32_t count(std::int32_t limit) noexcept;
  std::int32_t integer() noexcept;
  double real() noexcept;
  void fill(std::span<double> values) noexcept {
    for (double& v : values) v = real();
  }
  void fill(std::span<char> characters) noexcept {
    for (char& c : characters) c = static_cast<char>(byte());
  }

 private:
  std::uint64_t little(int bytes) noexcept;

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// A heap block of exactly n elements (n < 0 counts as 0; a block of 0 is still a distinct
// allocation, so that even a read of its element 0 is reported).
template <class T>
class Block {
 public:
  explicit Block(std::int64_t n)
      : size_(static_cast<std::size_t>(n > 0 ? n : 0)), data_(new T[size_]()) {}
  T* data() noexcept { return data_.get(); }
  std::size_t size() const noexcept { return size_; }
  std::span<T> span() noexcept { return {data_.get(), size_}; }
  // A byte-for-byte copy, to show afterwards that an input was not written.
  Block copy() const {
    Block c(static_cast<std::int64_t>(size_));
    if (size_ > 0) std::memcpy(c.data_.get(), data_.get(), size_ * sizeof(T));
    return c;
  }
  bool sameBytes(const Block& other) const noexcept {
    return size_ == other.size_ &&
           (size_ == 0 || std::memcmp(data_.get(), other.data_.get(), size_ * sizeof(T)) == 0);
  }

 private:
  std::size_t size_;
  std::unique_ptr<T[]> data_;
};

// A block of doubles filled from the stream.
Block<double> Reals(ArgumentStream& in, std::int64_t n);
// A text field of the given length (negative: an empty block) filled from the stream.
Block<char> Characters(ArgumentStream& in, std::int64_t n);

// Stops the run with a report when an adapter wrote into an argument it only reads.
void RequireUnchanged(const Block<double>& before, const Block<double>& after, const char* name);
void RequireUnchanged(const Block<char>& before, const Block<char>& after, const char* name);

}  // namespace tovalin::fuzz
