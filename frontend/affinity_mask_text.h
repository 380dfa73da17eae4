// The text form of an affinity mask, as the main window's list shows it.
#pragma once

#include <string>

// "0-3,5" for bits 0 to 3 and 5; the empty text for 0.
std::string FormatAffinityMask(unsigned long mask);
