# Cross-compiles for 64-bit Windows with Debian's MinGW-w64; the results run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TANDREL_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TANDREL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TANDREL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TANDREL_TRIPLE}-windres)
set(TANDREL_WIDL ${TANDREL_TRIPLE}-widl)
set(TANDREL_OBJDUMP ${TANDREL_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TANDREL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Programs of this target can be run here, so tests and build-time generators use Wine.
set(TANDREL_CAN_RUN_TARGET ON)
