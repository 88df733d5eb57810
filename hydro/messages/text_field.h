// Fixed-width, blank-padded text fields: the form every message, routine name and section
// shape takes inside the library. A field is W characters at an address its owner keeps;
// positions are counted from 1 and every write is clipped to 1..W, so nothing written
// through a field can land outside it.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace tovalin {

inline constexpr char kBlank = ' ';
inline constexpr char kLineFeed = '\n';

// A view of W characters owned elsewhere. Copying the view does not copy the characters.
class TextField {
 public:
  TextField() = default;
  // A negative width is taken as 0.
  TextField(char* data, int width) noexcept : data_(data), width_(width > 0 ? width : 0) {}

  int width() const noexcept { return width_; }
  char* data() const noexcept { return data_; }
  std::string_view view() const noexcept { return {data_, static_cast<std::size_t>(width_)}; }

  // Character at position (1..W); a blank outside the field.
  char at(int position) const noexcept {
    return position >= 1 && position <= width_ ? data_[position - 1] : kBlank;
  }
  // Puts one character at position; nothing happens outside 1..W.
  void put(int position, char c) const noexcept {
    if (position >= 1 && position <= width_) data_[position - 1] = c;
  }

  // Assignment: text goes into positions first..last, cut at last, the rest of first..last
  // blank-filled. Nothing is written when last < first. The range is clipped to the field,
  // and text may overlap the field itself.
  // Positions are 64-bit so that start + count arithmetic of callers cannot overflow.
  void assign(long first, long last, std::string_view text) const noexcept {
    if (last < first) return;
    // Characters of text that would fall before position 1 are dropped with the positions.
    if (first < 1) {
      const std::size_t skipped = static_cast<std::size_t>(1L - first);
      text.remove_prefix(std::min(skipped, text.size()));
      first = 1;
    }
    last = std::min<long>(last, width_);
    if (last < first) return;
    const std::size_t room = static_cast<std::size_t>(last - first + 1);
    const std::size_t copied = std::min(room, text.size());
    if (copied > 0) std::memmove(data_ + (first - 1), text.data(), copied);
    std::memset(data_ + (first - 1) + copied, kBlank, room - copied);
  }
  void assign(std::string_view text) const noexcept { assign(1L, width_, text); }

  // Last non-blank position, 0 for an all-blank or empty field. Any character but a blank
  // counts, a zero byte included.
  int lastNonBlank() const noexcept {
    for (int p = width_; p >= 1; --p)
      if (data_[p - 1] != kBlank) return p;
    return 0;
  }

 private:
  char* data_ = nullptr;
  int width_ = 0;
};

// A field that owns its N characters, blank on construction: work fields that live for
// one call (number text, routine names, work copies).
template <int N>
class FixedText {
  static_assert(N > 0);

 public:
  FixedText() noexcept { chars_.fill(kBlank); }
  explicit FixedText(std::string_view text) noexcept : FixedText() { field().assign(text); }

  TextField field() noexcept { return {chars_.data(), N}; }
  std::string_view view() const noexcept { return {chars_.data(), N}; }
  // The text without its trailing blanks.
  std::string_view trimmed() const noexcept {
    std::string_view v = view();
    const auto end = v.find_last_not_of(kBlank);
    return end == std::string_view::npos ? std::string_view{} : v.substr(0, end + 1);
  }

 private:
  std::array<char, N> chars_{};
};

}  // namespace tovalin
