# Cross-compiles for 64-bit Windows with Debian's MinGW-w64; the results run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TANDREL_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)

# Programs of this target can be run here, so tests and build-time generators use Wine.
set(TANDREL_CAN_RUN_TARGET ON)
