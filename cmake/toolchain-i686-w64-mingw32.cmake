# Cross-compiles for 32-bit Windows with Debian's MinGW-w64. These machines cannot run 32-bit
# Wine, so this target is built but never executed.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TANDREL_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)

set(TANDREL_CAN_RUN_TARGET OFF)
