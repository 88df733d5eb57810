// tovalin C++ API: hydrologic channel routing of one reach per call (Muskingum, modified Puls
// with and without loss, Muskingum-Cunge through an eight-point section, a trapezoid or a
// circular conduit). Link tovalin::core. See docs/cpp-api.md.
#pragma once

#include "tovalin/reach.hpp"
#include "tovalin/result.hpp"
#include "tovalin/route.hpp"
#include "tovalin/start.hpp"
#include "tovalin/state.hpp"
#include "tovalin/workspace.hpp"
