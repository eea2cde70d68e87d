// Where in the machine code a failure is raised, for the failure reports.
#pragma once

namespace platform {

/// An address inside the function that calls this one: never inlined, it answers
/// its own return address. Used as a default argument, it marks the raise site.
const void* CurrentCodeAddress();

} // namespace platform
