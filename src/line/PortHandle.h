#pragma once
#include <cstdint>

// A serial port as the link sees it: an opaque handle, or InvalidPort when none is open.
using PortHandle = std::intptr_t;
inline constexpr PortHandle InvalidPort = -1;
