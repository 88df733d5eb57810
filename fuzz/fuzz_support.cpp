// Argument decoding and the allocation cap shared by the fuzz targets.
#include "fuzz/fuzz_support.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace tovalin::fuzz {
namespace {

// Whether operator new refuses large blocks on this thread (set only by AllocationCap).
thread_local bool capActive = false;

// The undefined value of the library: bits C7D2CED320000000.
constexpr std::uint64_t kUndefinedBits = 0xC7D2CED320000000ULL;

constexpr std::array<std::int32_t, 8> kSpecialIntegers{
    std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), 0, -1, 1,
    60, 1 << 20, -(1 << 20)};

const std::array<double, 16> kSpecialReals{
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::bit_cast<double>(kUndefinedBits),
    0.0,
    -0.0,
    std::numeric_limits<double>::denorm_min(),
    std::numeric_limits<double>::min(),
    std::numeric_limits<double>::max(),
    -std::numeric_limits<double>::max(),
    1e-300,
    1e300,
    1e-12,
    0.5,
    0.009999999776482582,
    std::numeric_limits<double>::epsilon()};

constexpr int kIntegerTags = 3;
constexpr int kRealTags = 4;
constexpr double kHundredths = 100.0;

void* Allocate(std::size_t size) {
  if (capActive && size > kAllocationCapBytes) throw std::bad_alloc();
  if (void* block = std::malloc(size > 0 ? size : 1)) return block;
  throw std::bad_alloc();
}

}  // namespace

AllocationCap::AllocationCap() noexcept { capActive = true; }
AllocationCap::~AllocationCap() { capActive = false; }

std::uint64_t ArgumentStream::little(int bytes) noexcept {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(byte()) << (8 * i);
  return value;
}

std::int32_t ArgumentStream::count(std::int32_t limit) noexcept {
  return static_cast<std::int32_t>(byte() % (limit + 3)) - 2;
}

std::int32_t ArgumentStream::integer() noexcept {
  switch (byte() % kIntegerTags) {
    case 0:
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(little(4)));
    case 1:
      return static_cast<std::int8_t>(byte());
    default:
      return kSpecialIntegers[byte() % kSpecialIntegers.size()];
  }
}

double ArgumentStream::real() noexcept {
  switch (byte() % kRealTags) {
    case 0:
      return std::bit_cast<double>(little(8));
    case 1:
      return static_cast<std::int8_t>(byte());
    case 2:
      return kSpecialReals[byte() % kSpecialReals.size()];
    default:
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(little(2))) / kHundredths;
  }
}

Block<double> Reals(ArgumentStream& in, std::int64_t n) {
  Block<double> block(n);
  in.fill(block.span());
  return block;
}

Block<char> Characters(ArgumentStream& in, std::int64_t n) {
  Block<char> block(n);
  in.fill(block.span());
  return block;
}

void RequireUnchanged(const Block<double>& before, const Block<double>& after, const char* name) {
  if (before.sameBytes(after)) return;
  std::fprintf(stderr, "input argument %s was written\n", name);
  std::abort();
}

void RequireUnchanged(const Block<char>& before, const Block<char>& after, const char* name) {
  if (before.sameBytes(after)) return;
  std::fprintf(stderr, "input argument %s was written\n", name);
  std::abort();
}

}  // namespace tovalin::fuzz

// Every allocation of a fuzz target goes through the cap.
void* operator new(std::size_t size) { return tovalin::fuzz::Allocate(size); }
void* operator new[](std::size_t size) { return tovalin::fuzz::Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return tovalin::fuzz::Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return tovalin::fuzz::Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
