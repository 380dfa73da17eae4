// Identifiers of the library's registration resources, shared by the resource script and the code
// (the resource compiler reads only preprocessor definitions).
#pragma once

#define TANDREL_IDS_PROJECT_NAME 100
#define TANDREL_IDR_AFFINITY_MANAGER 101
