#include "network/exchange.h"

#include "network/netcdf_io.h"

namespace tovalin::network {

void LocalExchange::Agree(const std::string& error) {
  if (!error.empty()) throw FileError(error);
}

void LocalExchange::Fault(ReachId reach, const std::string& what) {
  throw FileError(reach != 0 ? "reach " + std::to_string(reach) + ": " + what : what);
}

}  // namespace tovalin::network
