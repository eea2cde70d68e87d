// The raise-site address, read from the call's return address. Implementation here must
// contain only operating-system independent code: the compiler, not the system, knows it.
#include "platform/code_address.h"

namespace platform {

__attribute__((noinline)) const void* CurrentCodeAddress() {
  return __builtin_extract_return_addr(__builtin_return_address(0));
}

} // namespace platform
