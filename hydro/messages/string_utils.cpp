// General string utilities on fixed-width texts.
#include "hydro/messages/string_utils.h"

namespace tovalin {
namespace {

constexpr std::string_view kOneBlank = " ";

// The range start..start+count-1 of string, clipped to 1..L; empty when count <= 0.
std::string_view Range(std::string_view string, int start, int count, int& offset) noexcept {
  offset = 0;
  if (count <= 0) return {};
  long first = start;
  long last = static_cast<long>(start) + count - 1;
  if (first < 1) first = 1;
  if (last > static_cast<long>(string.size())) last = static_cast<long>(string.size());
  if (last < first) return {};
  offset = static_cast<int>(first - 1);
  return string.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
}

}  // namespace

int NINDX(std::string_view string, std::string_view pattern) noexcept {
  const std::size_t l = string.size();
  const std::size_t m = pattern.size();
  if (l == 0 || m == 0 || m > l) return 0;
  for (std::size_t i = 0; i + m <= l; ++i)
    if (string.substr(i, m) != pattern) return static_cast<int>(i + 1);
  return 0;
}

int NINDXR(std::string_view string, std::string_view pattern) noexcept {
  const std::size_t l = string.size();
  const std::size_t m = pattern.size();
  if (l == 0 || m == 0 || m > l) return 0;
  for (std::size_t i = l - m + 1; i >= 1; --i)
    if (string.substr(i - 1, m) != pattern) return static_cast<int>(i);
  return 0;
}

int CHRLNB(std::string_view string, int& last) noexcept {
  last = NINDXR(string, kOneBlank);
  return last;
}

void LFLNB(std::string_view string, int start, int count, int& first, int& length) noexcept {
  int offset = 0;
  const std::string_view range = Range(string, start, count, offset);
  const int f = NINDX(range, kOneBlank);
  if (f == 0) {
    first = 0;
    length = 0;
    return;
  }
  const int l = NINDXR(range, kOneBlank);
  length = l - f + 1;
  first = f + offset;
}

void LJSTR(std::string_view source, int start, int count, TextField target,
           int targetStart) noexcept {
  int first = 0;
  int n = 0;
  LFLNB(source, start, count, first, n);
  if (first <= 0 || n <= 0) {
    target.assign(targetStart, static_cast<long>(targetStart) + count - 1, {});
    return;
  }
  // The span is moved before any blank is written, so source may be the target itself.
  target.assign(targetStart, static_cast<long>(targetStart) + n - 1, source.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(n)));
  if (n < count) target.assign(static_cast<long>(targetStart) + n, static_cast<long>(targetStart) + count - 1, {});
}

void RJSTR(std::string_view source, int start, int count, TextField target,
           int targetStart) noexcept {
  int first = 0;
  int n = 0;
  LFLNB(source, start, count, first, n);
  const long end = static_cast<long>(targetStart) + count - 1;
  if (first <= 0) {
    target.assign(targetStart, end, {});
    return;
  }
  target.assign(end - n + 1, end, source.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(n)));
  if (end - n >= targetStart) target.assign(targetStart, end - n, {});
}

void CHRBLK(TextField string) noexcept { string.assign({}); }

}  // namespace tovalin
