# What both MinGW-w64 toolchain files share; each sets TANDREL_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives GoogleTest its std::mutex; everything links statically.
set(CMAKE_C_COMPILER ${TANDREL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TANDREL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TANDREL_TRIPLE}-windres)
set(TANDREL_WIDL ${TANDREL_TRIPLE}-widl)
set(TANDREL_OBJDUMP ${TANDREL_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TANDREL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
