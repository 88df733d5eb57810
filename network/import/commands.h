// The subcommands of tovalin-import, one function each (see import_main.cpp for the table
// that dispatches to them). Each takes the arguments after its name and returns the exit
// status: 0 imported, 2 bad command line, 3 input refused (the reasons on standard error,
// nothing written), 4 a file could not be read or written, or memory ran out.
#pragma once

namespace tovalin::network::import {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitRefused = 3;
inline constexpr int kExitFile = 4;

int RunNwmCommand(int argc, char** argv);
int RunHydrofabricCommand(int argc, char** argv);  // where SQLite is found (TOVALIN_HYDROFABRIC)

}  // namespace tovalin::network::import
