// Baseline for the cronel throughput benchmark: copies standard input to a file with
// exactly one write(2) per line, the floor for a logger that flushes every line.
// Usage: cronel_write_baseline OUTPUT < input
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;
constexpr mode_t kNewFileMode = 0666;

bool write_whole(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(fd, data, size);
    if (count < 0) return false;
    data += count;
    size -= static_cast<std::size_t>(count);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int out = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
  if (out < 0) return 1;
  std::vector<char> buffer(kReadChunkBytes);
  std::size_t filled = 0;
  for (;;) {
    const ssize_t count = ::read(0, buffer.data() + filled, buffer.size() - filled);
    if (count <= 0) break;
    filled += static_cast<std::size_t>(count);
    std::size_t start = 0;
    while (const void* end = std::memchr(buffer.data() + start, '\n', filled - start)) {
      const std::size_t length =
          static_cast<std::size_t>(static_cast<const char*>(end) - (buffer.data() + start)) + 1;
      if (!write_whole(out, buffer.data() + start, length)) return 1;
      start += length;
    }
    std::memmove(buffer.data(), buffer.data() + start, filled - start);
    filled -= start;
  }
  if (filled > 0 && !write_whole(out, buffer.data(), filled)) return 1;
  return ::close(out) == 0 ? 0 : 1;
}
