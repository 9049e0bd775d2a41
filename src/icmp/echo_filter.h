#pragma once
// A raw ICMP socket sees every ICMP packet the host receives; told in the
// kernel to pass only what can concern its own echoes, it wakes for nothing
// else. Linux only.
#include <cstdint>

#include "socket_platform.h"

namespace qz::icmp {

// Passes echo replies carrying identifier, and the errors that may quote
// an echo (destination unreachable, time exceeded); false when the system
// refuses the filter (the socket then sees everything, as before).
bool FilterToOwnReplies(qz::TSocketHandle handle, uint16_t identifier);

}  // namespace qz::icmp
