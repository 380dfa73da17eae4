// What the minimal dialog program does before its window: nothing, or touching every library
// that the product imports, so that both load the same files.
#pragma once

void PrepareMinimalDialog();
