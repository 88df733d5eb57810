// Routing adapters whose work storage lies beyond a call's limit, through the shared library:
// each reports its routine's message 11 without asking for that storage. The program's
// allocator refuses and counts every request above 1 GiB (support/counting_allocator.h);
// the caller's arrays of 2^31 - 1 step values are address space reserved read-only, never
// backed, so the library can neither write them nor make them take memory.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/counting_allocator.h"
#include "tovalin/tovalin.h"

namespace {

constexpr int kWidth = 80;
constexpr int kMostSteps = std::numeric_limits<int>::max();
constexpr int kHour = 60;

// Address space for count doubles, readable as zeros; unmapped again at the end.
class Reserved {
 public:
  explicit Reserved(std::size_t count) : bytes_(count * sizeof(double)) {
    void* p = mmap(nullptr, bytes_, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    address_ = p == MAP_FAILED ? nullptr : p;
  }
  ~Reserved() {
    if (address_ != nullptr) munmap(address_, bytes_);
  }
  Reserved(const Reserved&) = delete;
  Reserved& operator=(const Reserved&) = delete;
  double* values() const { return static_cast<double*>(address_); }

 private:
  std::size_t bytes_;
  void* address_ = nullptr;
};

// Packed status of a routine's message 11, severity 4.
constexpr int NoStorage(int routine) { return (routine * 64 + 11) * 8 + 4; }

TEST(AdapterStorage, CallsBeyondTheLimitReportMessage11) {
  const Reserved initial(kMostSteps), finals(kMostSteps);
  if (initial.values() == nullptr || finals.values() == nullptr)
    GTEST_SKIP() << "the system reserves no 16 GiB of address space";
  const int interval = kHour, ordinates = 25, pairs = 3, points = 3, fromProfile = 0;
  const std::vector<double> inflows(ordinates, 300.0), lateral(ordinates, 0.0);
  const std::array<double, 3> storage{0.0, 1.0e6, 2.0e6}, outflow{0.0, 200.0, 400.0},
      elevation{0.0, 1.0, 2.0}, profile{300.0, 300.0, 300.0};
  const double k = 2.0, x = 0.2, lossElevation = 0.0, lossRate = 1e-6;
  // A reach of 1 mm: a computation interval below a millisecond, some 10^8 steps in a day.
  const double length = 0.001, slope = 0.001, roughness = 0.035, width = 20.0, sides = 2.0;
  const std::array<double, 8> stations{0, 10, 20, 20, 30, 30, 40, 50},
      elevations{10, 5, 5, 0, 0, 5, 5, 10};
  const std::array<double, 3> roughnesses{0.08, 0.04, 0.08};
  std::vector<double> outflows;
  std::array<double, 3> finalFlows{};
  double dt, dx, peak, peakTime, celerity, storage0, storage1, volumeIn, volumeOut;
  struct Case {
    const char* adapter;
    std::function<void(int*, char*)> call;
    int status;
    std::string text;
  };
  const std::vector<Case> cases{
      {"routemuskingum_", [&](int* status, char* message) {
         routemuskingum_(&interval, &k, &x, &kMostSteps, initial.values(), finals.values(),
                         &ordinates, inflows.data(), outflows.data(), status, message, kWidth);
       }, NoStorage(14), "Cannot allocate memory for dynamic arrays"},
      {"routepulschannel_", [&](int* status, char* message) {
         routepulschannel_(&interval, &pairs, storage.data(), outflow.data(), &kMostSteps,
                           initial.values(), finals.values(), &ordinates, inflows.data(),
                           outflows.data(), status, message, kWidth);
       }, NoStorage(17), "Cannot allocate memory for dynamic arrays."},
      {"RoutePulsChannelWithLoss_", [&](int* status, char* message) {
         RoutePulsChannelWithLoss_(&interval, &pairs, storage.data(), outflow.data(),
                                   elevation.data(), &lossElevation, &lossRate, &kMostSteps,
                                   initial.values(), finals.values(), &ordinates, inflows.data(),
                                   outflows.data(), status, message, kWidth);
       }, NoStorage(18), "Cannot allocate memory for dynamic arrays."},
      {"RouteMuskingumCunge8Point_", [&](int* status, char* message) {
         RouteMuskingumCunge8Point_(&interval, &length, &slope, stations.data(), elevations.data(),
                                    roughnesses.data(), &points, &fromProfile, profile.data(),
                                    finalFlows.data(), &ordinates, inflows.data(), lateral.data(),
                                    outflows.data(), &dt, &dx, &peak, &peakTime, &celerity,
                                    &storage0, &storage1, &volumeIn, &volumeOut, status, message,
                                    kWidth);
       }, NoStorage(15), "Cannot allocate memory for dynamic arrays"},
      {"RouteMuskingumCungePrism_", [&](int* status, char* message) {
         RouteMuskingumCungePrism_(&interval, &length, &slope, &roughness, "TRAPEZOID", &width,
                                   &sides, &points, &fromProfile, profile.data(),
                                   finalFlows.data(), &ordinates, inflows.data(), lateral.data(),
                                   outflows.data(), &dt, &dx, &peak, &peakTime, &celerity,
                                   &storage0, &storage1, &volumeIn, &volumeOut, status, message,
                                   kWidth, 9);
       }, NoStorage(16), "Cannot allocate memory for dynamic arrays"},
  };
  for (const Case& c : cases) {
    outflows.assign(ordinates, 0.0);
    std::string message(kWidth, ' ');
    int status = 0;
    const long refusedBefore = tovalin::testing::refusedRequests.load();
    c.call(&status, message.data());
    EXPECT_EQ(status, c.status) << c.adapter;
    EXPECT_EQ(message, c.text + std::string(kWidth - c.text.size(), ' ')) << c.adapter;
    EXPECT_EQ(tovalin::testing::refusedRequests.load(), refusedBefore)
        << c.adapter << ": asked the allocator";
  }
}

}  // namespace
