# GoogleTest from Debian's source package, compiled for the cross target.
set(TANDREL_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# GoogleTest needs std::mutex, which only the posix thread model of Debian's MinGW has (linked
# statically); its own locking on Windows uses Win32.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${TANDREL_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
