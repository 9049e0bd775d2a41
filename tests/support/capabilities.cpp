#include "capabilities.h"

#include <cerrno>
#include <cstring>

#include "process_capabilities.h"

namespace qz::test {

WithoutCapability::WithoutCapability(int capability) : capability_(capability) {
  errno = 0;
  dropped_ = SetCapabilityEffective(capability_, false);
  if (!dropped_)
    failure_ = "cannot drop capability " + std::to_string(capability) +
               (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string(" on this system"));
}

WithoutCapability::~WithoutCapability() {
  if (dropped_) SetCapabilityEffective(capability_, true);
}

}  // namespace qz::test
