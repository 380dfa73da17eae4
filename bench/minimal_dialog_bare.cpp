#include "minimal_dialog_preparation.h"

void PrepareMinimalDialog() {}
