// tovalin-network-gen: writes a synthetic river network and its forcing (see
// man/tovalin-network-gen.1). Exit status: 0 written, 2 bad command line, 4 file error.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "network/generator.h"
#include "network/netcdf_io.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFile = 4;
constexpr long long kMaxReaches = 100000000;
constexpr long long kMaxSteps = 1000000;

constexpr const char* kUsage =
    "usage: tovalin-network-gen --reaches N --steps T --seed S --methods mixed|mc-trapezoid\n"
    "                           --network FILE --forcing FILE\n";

bool Number(const char* text, long long low, long long high, long long& into) {
  char* end = nullptr;
  into = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && into >= low && into <= high;
}

}  // namespace

int main(int argc, char** argv) {
  tovalin::network::GeneratorOptions options;
  std::string network, forcing;
  bool ok = true;
  for (int i = 1; ok && i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long long n = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!value) {
      ok = false;
      break;
    }
    ++i;
    if (arg == "--reaches")
      ok = Number(value, 1, kMaxReaches, n), options.reaches = n;
    else if (arg == "--steps")
      ok = Number(value, 2, kMaxSteps, n), options.steps = n;
    else if (arg == "--seed")
      ok = Number(value, 0, 9223372036854775807LL, n), options.seed = static_cast<std::uint64_t>(n);
    else if (arg == "--network")
      network = value;
    else if (arg == "--forcing")
      forcing = value;
    else if (arg == "--methods") {
      const std::string_view m = value;
      ok = m == "mixed" || m == "mc-trapezoid";
      options.methods = m == "mixed" ? tovalin::network::MethodMix::kMixed
                                     : tovalin::network::MethodMix::kMuskingumCungeTrapezoid;
    } else
      ok = false;
  }
  if (!ok || network.empty() || forcing.empty()) {
    std::fprintf(stderr, "tovalin-network-gen: bad or missing options\n%s", kUsage);
    return kExitUsage;
  }
  try {
    const auto generated = tovalin::network::GenerateNetwork(options);
    tovalin::network::WriteGenerated(options, generated, network, forcing);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tovalin-network-gen: %s\n", e.what());
    return kExitFile;
  }
  return 0;
}
