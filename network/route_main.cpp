// tovalin-route: routes a river network from NetCDF files (see man/tovalin-route.1).
// Exit status: 0 every reach routed (warnings allowed), 1 a reach failed or lies below a
// failure, 2 bad command line, 3 input refused by validation, 4 a file could not be read
// or written, or memory ran out (the results file it began is then removed; restarts are put
// in place whole or not at all).
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "network/engine.h"
#include "network/parallel/processes.h"

namespace {

constexpr int kExitFailedReaches = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
constexpr int kExitFile = 4;
constexpr int kBarWidth = 30;
constexpr long long kMaxThreads = 1024;
constexpr long long kMaxBlockReaches = 1LL << 30;
constexpr long long kMaxCount = 1LL << 62;

constexpr const char* kUsage =
    "usage: tovalin-route --network FILE --forcing FILE --output FILE [--restart-in FILE]\n"
    "                     [--restart-out FILE|PATTERN [--restart-every K]] [--window N]\n"
    "                     [--threads N] [--block-reaches N]\n"
    "                     [--variables outflow,depth,velocity] [--gauges] [--quiet]\n";

// The per-ordinate variables of --variables, a list of names separated by commas: outflow
// (always written), depth, velocity. False for an empty list or name, or an unknown one.
bool ParseVariables(std::string_view list, tovalin::network::RunOptions& options) {
  options.depths = options.velocities = false;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    if (name == "depth")
      options.depths = true;
    else if (name == "velocity")
      options.velocities = true;
    else if (name != "outflow")
      return false;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

// A progress bar on standard error, redrawn in place: reaches done (reach-windows in a run in
// windows), rate, time left.
class ProgressBar {
 public:
  explicit ProgressBar(const char* unit) : unit_(unit) {}
  void Draw(std::int64_t done, std::int64_t total) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    const double left = rate > 0.0 ? (total - done) / rate : 0.0;
    const int filled = total > 0 ? static_cast<int>(kBarWidth * done / total) : kBarWidth;
    std::fprintf(stderr, "\r[%.*s%*s] %lld/%lld %s  %.0f/s  %ld:%02ld left ", filled,
                 "##############################", kBarWidth - filled, "",
                 static_cast<long long>(done), static_cast<long long>(total), unit_, rate,
                 static_cast<long>(left) / 60, static_cast<long>(left) % 60);
    if (done >= total) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  const char* unit_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A file the run may write, as it was before the run: a run that fails on a file (exit 4)
// removes what it began to write there, and leaves a file it never touched.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path) : path_(path) {
    existed_ = !path_.empty() && stat(path_.c_str(), &before_) == 0;
  }
  void RemoveIfWritten() const {
    struct stat now {};
    if (path_.empty() || stat(path_.c_str(), &now) != 0) return;
    const bool same = existed_ && now.st_dev == before_.st_dev && now.st_ino == before_.st_ino &&
                      now.st_size == before_.st_size &&
                      now.st_mtim.tv_sec == before_.st_mtim.tv_sec &&
                      now.st_mtim.tv_nsec == before_.st_mtim.tv_nsec;
    if (!same) std::remove(path_.c_str());
  }

 private:
  std::string path_;
  bool existed_ = false;
  struct stat before_ {};
};

}  // namespace

int main(int argc, char** argv) {
  // Under an MPI launcher every process runs this; only process 0 prints, except a fault.
  tovalin::network::Processes processes(argc, argv);
  if (!processes.refusal().empty()) {
    if (processes.lead()) std::fprintf(stderr, "tovalin-route: %s\n", processes.refusal().c_str());
    return kExitUsage;
  }
  std::FILE* const err = processes.lead() ? stderr : nullptr;
  tovalin::network::RunOptions options;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    // A whole number in [low, high] as the option's value.
    const auto number = [&](long long low, long long high, long long& into) {
      std::string text;
      if (!value(text)) return false;
      char* end = nullptr;
      into = std::strtoll(text.c_str(), &end, 10);
      return end != text.c_str() && *end == '\0' && into >= low && into <= high;
    };
    long long n = 0;
    bool ok = true;
    if (arg == "--network")
      ok = value(options.networkPath);
    else if (arg == "--forcing")
      ok = value(options.forcingPath);
    else if (arg == "--output")
      ok = value(options.outputPath);
    else if (arg == "--restart-in")
      ok = value(options.restartInPath);
    else if (arg == "--restart-out")
      ok = value(options.restartOutPath);
    else if (arg == "--quiet")
      quiet = true;
    else if (arg == "--gauges")
      options.gauges = true;
    else if (arg == "--variables") {
      std::string list;
      ok = value(list) && ParseVariables(list, options);
    }
    else if (arg == "--threads") {
      ok = number(1, kMaxThreads, n);
      options.threads = static_cast<int>(n);
    } else if (arg == "--block-reaches") {
      ok = number(1, kMaxBlockReaches, n);
      options.blockReaches = n;
    } else if (arg == "--window") {
      ok = number(1, kMaxCount, n);
      options.window = n;
    } else if (arg == "--restart-every") {
      ok = number(1, kMaxCount, n);
      options.restartEvery = n;
    } else if (arg == "--help" || arg == "-h") {
      if (processes.lead()) std::fputs(kUsage, stdout);
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      if (err)
        std::fprintf(err, "tovalin-route: bad or incomplete option '%s'\n%s", argv[i], kUsage);
      return kExitUsage;
    }
  }
  if (options.networkPath.empty() || options.forcingPath.empty() || options.outputPath.empty()) {
    if (err)
      std::fprintf(err, "tovalin-route: --network, --forcing and --output are required\n%s",
                   kUsage);
    return kExitUsage;
  }
  if (options.restartEvery > 0 && options.restartOutPath.empty()) {
    if (err) std::fprintf(err, "tovalin-route: --restart-every needs --restart-out\n%s", kUsage);
    return kExitUsage;
  }
  // Restarts are written whole or not at all (netcdf_io.h): only the results are removed.
  const OutputFile results(options.outputPath);
  const auto removeOutputs = [&] {
    if (processes.lead()) results.RemoveIfWritten();
  };
  ProgressBar bar(options.window > 0 ? "reach-windows" : "reaches");
  if (!quiet && processes.lead() && isatty(STDERR_FILENO))
    options.progress = [&bar](std::int64_t done, std::int64_t total) { bar.Draw(done, total); };
  try {
    const tovalin::network::RunSummary summary =
        processes.Run(options, quiet || !processes.lead() ? nullptr : stdout);
    if (!summary.refusal.empty()) {
      if (err) std::fprintf(err, "tovalin-route: %s", summary.BriefReport().c_str());
      return kExitRefused;
    }
    if (!quiet && processes.lead()) std::fputs(summary.BriefReport().c_str(), stdout);
    return summary.Failed() ? kExitFailedReaches : 0;
  } catch (const tovalin::network::FileError& e) {
    removeOutputs();
    if (err) std::fprintf(err, "tovalin-route: %s\n", e.what());
    return kExitFile;
  } catch (const std::exception& e) {
    removeOutputs();
    if (processes.size() > 1)
      processes.Abort("process " + std::to_string(processes.rank()) + ": " + e.what(), kExitFile);
    std::fprintf(stderr, "tovalin-route: %s\n", e.what());
    return kExitFile;
  }
}
