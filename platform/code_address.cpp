// The raise-site address, read from the call's return address. Implementation here must
// contain only operating-system independent code: the compiler, not the system, knows it.
#include "platform/code_address.h"

#include "platform/compiler.h"

namespace platform {

SA_NOINLINE const void* CurrentCodeAddress() {
  return __builtin_extract_return_addr(__builtin_return_address(0));
}

} // namespace platform
