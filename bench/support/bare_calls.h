// The platform calls that the product cannot avoid, made in a plain loop with nothing around them:
// the floor that each product figure is compared with. The loops of bare_loops.h over the system's
// own functions.
#pragma once

#include "bare_loops.h"

#include <windows.h>

#include <vector>

std::vector<DWORD> BareEnumerate();

// Every process by the module route, appended to rows unless that is null; returns how many
// processes could be read.
int BareModuleSnapshot(std::vector<BareRow>* rows = nullptr);
// The same by the image-name route.
int BareImageSnapshot();

void BareMove(const std::vector<DWORD>& ids, DWORD_PTR mask);

// BareMove over every process.
void BareMoveAll(DWORD_PTR mask);

// Everybody to the complement of the mask, then the listed processes onto the mask.
void BareIsolate(const std::vector<DWORD>& ids, DWORD_PTR mask);
