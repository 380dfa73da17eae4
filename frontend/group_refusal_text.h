// What the main window tells the user after a Move or an Isolate on a machine of several
// processor groups, when the system's groups kept processes from going where they were asked.
#pragma once

#include "engine/affinity.h"

#include <string>

// One sentence for each kind of refusal, separated by a blank line; empty when nothing was
// refused. For example "2 processes run only in processor group 1 and were not moved: a process
// cannot be moved to another processor group."
std::string GroupRefusalText(const GroupRefusals& refusals);
