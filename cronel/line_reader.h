// Reads standard input as pieces of at most kPieceLimit bytes, each ending at and
// including a line end when one comes within the limit. A longer line arrives in
// several pieces; a last line without a line end is a piece without one. Bytes are
// bytes: a zero byte is carried like any other.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace cronel {

// Longest piece handed out, in bytes (a 2048-byte line buffer less its terminator).
inline constexpr std::size_t kPieceLimit = 2047;
// Bytes asked of the operating system per read.
inline constexpr std::size_t kReadChunkBytes = 64 * 1024;

class LineReader {
 public:
  explicit LineReader(int fd);

  // The next piece, valid until the following call; none at end of input or at a read
  // error (EINTR is retried, EAGAIN waits for input). Bytes read before an error are
  // still handed out.
  std::optional<std::string_view> next();

  // The errno of the read that failed, or 0 when input ended normally (or has not).
  int error() const { return error_; }

 private:
  bool fill();  // reads more; false at end of input or error

  int fd_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first byte not yet handed out
  std::size_t end_ = 0;    // one past the last byte read
  bool at_end_ = false;
  int error_ = 0;
};

}  // namespace cronel
