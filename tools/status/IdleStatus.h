// The session's idle source, chosen and read by the agent's own idle unit.
#pragma once

#include "tools/status/AgentStatus.h"

/// Starts the idle unit as the agent does, takes one reading and ends it again.
TIdleStatus ReadIdleStatus();
