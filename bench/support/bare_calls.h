// The platform calls that the product cannot avoid, made in a plain loop with nothing around them:
// the floor that each product figure is compared with.
#pragma once

#include <windows.h>

#include <vector>

// Every process identifier, with the product's rule: start with room for 256 and double while the
// system fills the buffer exactly. Empty when the enumeration fails.
std::vector<DWORD> BareEnumerate();

// Per process: open for query and read, the first module, its file name, the affinity, close.
// Returns how many processes could be read.
int BareSnapshot();

// Per process: open for setting information, set the mask, close.
void BareMove(const std::vector<DWORD>& ids, DWORD_PTR mask);

// BareMove over every process.
void BareMoveAll(DWORD_PTR mask);

// Everybody to the complement of the mask, then the listed processes onto the mask.
void BareIsolate(const std::vector<DWORD>& ids, DWORD_PTR mask);
