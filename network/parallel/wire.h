// The bytes of a written block between processes: one list of its fields (BlockFields) that
// both ends walk, the sender with a Packer, the receiver with an Unpacker, so that the two can
// never disagree on the layout. Values are copied as their bytes (the processes of one job
// share one machine type); a message shorter than its fields announce is refused.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "network/exchange.h"

namespace tovalin::network {

class Packer {
 public:
  template <class T>
  void Value(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* p = reinterpret_cast<const char*>(&v);
    bytes_.insert(bytes_.end(), p, p + sizeof v);
  }
  // A std::vector or std::string of trivially copyable values: its size, then its values.
  template <class C>
  void Array(const C& c) {
    static_assert(std::is_trivially_copyable_v<typename C::value_type>);
    Value(static_cast<std::uint64_t>(c.size()));
    const auto* p = reinterpret_cast<const char*>(c.data());
    bytes_.insert(bytes_.end(), p, p + c.size() * sizeof(typename C::value_type));
  }
  // A vector of records: its size, then each record by `fields`.
  template <class T, class F>
  void Each(const std::vector<T>& v, F fields) {
    Value(static_cast<std::uint64_t>(v.size()));
    for (const T& x : v) fields(x);
  }
  std::vector<char>& bytes() noexcept { return bytes_; }

 private:
  std::vector<char> bytes_;
};

class Unpacker {
 public:
  explicit Unpacker(const std::vector<char>& bytes) : at_(bytes.data()), end_(at_ + bytes.size()) {}
  template <class T>
  void Value(T& v) {
    Take(&v, sizeof v);
  }
  template <class C>
  void Array(C& c) {
    using V = typename C::value_type;
    c.resize(Count(sizeof(V)));
    Take(c.data(), c.size() * sizeof(V));
  }
  template <class T, class F>
  void Each(std::vector<T>& v, F fields) {
    v.resize(Count(1));
    for (T& x : v) fields(x);
  }
  bool done() const noexcept { return at_ == end_; }

 private:
  // A count of elements of at least `bytes` bytes each that the rest of the message can hold.
  std::size_t Count(std::size_t bytes) {
    std::uint64_t n = 0;
    Value(n);
    if (n > static_cast<std::uint64_t>(end_ - at_) / bytes)
      throw std::runtime_error("a results message shorter than it announces");
    return static_cast<std::size_t>(n);
  }
  void Take(void* into, std::size_t n) {
    if (static_cast<std::size_t>(end_ - at_) < n)
      throw std::runtime_error("a results message shorter than it announces");
    if (n) std::memcpy(into, at_, n);
    at_ += n;
  }
  const char* at_;
  const char* end_;
};

// Every field of a written block, in the order of the wire; Block is ResultBlock, const for
// a Packer.
template <class Archive, class Block>
void BlockFields(Archive& a, Block& b) {
  a.Value(b.firstPosition), a.Value(b.reaches), a.Value(b.ordinates.first);
  a.Value(b.ordinates.count);
  a.Each(b.series, [&a](auto& values) { a.Array(values); });
  a.Array(b.ids), a.Array(b.marks);
  a.Each(b.outcomes, [&a](auto& o) {
    a.Value(o.routine), a.Value(o.messageNumber), a.Value(o.severity), a.Array(o.message);
    for (auto* v : {&o.inflowVolume, &o.outflowVolume, &o.storageStart, &o.storageEnd, &o.loss,
                    &o.balanceError, &o.balanceRelative, &o.forcingVolume,
                    &o.writtenOutflowVolume, &o.computationInterval, &o.courantMin, &o.courantMax,
                    &o.reynoldsMin, &o.reynoldsMax})
      a.Value(*v);
    a.Value(o.subreachCount), a.Value(o.subreachSteps);
  });
  a.Each(b.states, [&a](auto& s) {
    a.Array(s.values), a.Value(s.lastInflow), a.Value(s.computationInterval);
    a.Value(s.subreachCount);
  });
}

}  // namespace tovalin::network
