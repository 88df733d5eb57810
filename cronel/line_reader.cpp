// Piecewise reading of standard input (see line_reader.h).
#include "line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cronel {

LineReader::LineReader(int fd) : fd_(fd), buffer_(kReadChunkBytes) {}

bool LineReader::fill() {
  if (at_end_) return false;
  // Move the unfinished piece to the front; it is shorter than kPieceLimit, so a whole
  // chunk's room stays behind it.
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    const ssize_t count = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (count > 0) {
      end_ += static_cast<std::size_t>(count);
      return true;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd watched{fd_, POLLIN, 0};
      while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
      }
      continue;
    }
    if (count < 0) error_ = errno;  // a read error ends the input too
    at_end_ = true;
    return false;
  }
}

std::optional<std::string_view> LineReader::next() {
  for (;;) {
    const std::size_t available = end_ - begin_;
    const std::size_t window = std::min(available, kPieceLimit);
    const char* start = buffer_.data() + begin_;
    const void* line_end = std::memchr(start, '\n', window);
    std::size_t length = 0;
    if (line_end != nullptr) {
      length = static_cast<std::size_t>(static_cast<const char*>(line_end) - start) + 1;
    } else if (available >= kPieceLimit) {
      length = kPieceLimit;
    } else if (!fill()) {
      length = available;  // the last piece, without a line end (or nothing)
      if (length == 0) return std::nullopt;
    } else {
      continue;
    }
    begin_ += length;
    return std::string_view(buffer_.data() + begin_ - length, length);
  }
}

}  // namespace cronel
