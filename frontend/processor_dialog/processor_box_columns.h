// The processor dialog's boxes beyond the 32 of its template, for machines with processors
// above 31. They are laid out at run time from the template's own boxes, so the dialog of a
// smaller machine stays exactly the template.
#pragma once

#include "common/affinity_mask.h"

#include <windows.h>

// How many processor boxes the dialog offers on a machine with these processors: the
// template's 32 when none above 31 is present, else one for every processor a mask can name.
int ProcessorBoxCount(AffinityMask present);

// Adds the boxes of processors 32 to count - 1 to a dialog made from the template: columns of
// eight like the template's last column, each one column pitch further right, in tab order after
// "CPU 31". The dialog widens by those columns, OK and Cancel keep their place at its right edge,
// and it is kept on its monitor's work area. Does nothing for a count of 32 or less.
void AddProcessorBoxColumns(HWND dialog, int count);
