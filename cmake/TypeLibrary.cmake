# Compiles the interface description: widl writes the C++ declarations, the GUID definitions and
# a first type library; tools/typelib_writer (an x86_64 program run under Wine for both targets)
# completes that library and writes it for the target's system kind.
#
# Sets TANDREL_IDL_INCLUDE_DIR (tandrel_pro.h), TANDREL_IDL_GUIDS (tandrel_pro_i.c),
# TANDREL_TYPELIB (the finished tandrel_pro.tlb) and TANDREL_TOOL_CXX (the compiler of the build
# tools that run under Wine).
include(${CMAKE_CURRENT_LIST_DIR}/TandrelIdentifiers.cmake)

set(wine_idl_dir /usr/include/wine/wine/windows)
set(stdole_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(TANDREL_TOOL_CXX x86_64-w64-mingw32-g++-posix CACHE INTERNAL "")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(widl_target --win64)
  set(system_kind win64)
else()
  set(widl_target --win32)
  set(system_kind win32)
endif()

set(TANDREL_IDL_INCLUDE_DIR ${CMAKE_BINARY_DIR}/idl)
set(TANDREL_IDL_GUIDS ${TANDREL_IDL_INCLUDE_DIR}/tandrel_pro_i.c)
set(TANDREL_TYPELIB ${TANDREL_IDL_INCLUDE_DIR}/tandrel_pro.tlb CACHE INTERNAL "")
set(header ${TANDREL_IDL_INCLUDE_DIR}/tandrel_pro.h)
set(widl_typelib ${TANDREL_IDL_INCLUDE_DIR}/tandrel_pro_widl.tlb)
set(writer_source ${CMAKE_SOURCE_DIR}/tools/typelib_writer/typelib_writer.cpp)
set(writer ${CMAKE_BINARY_DIR}/tools/typelib_writer.exe)
file(MAKE_DIRECTORY ${TANDREL_IDL_INCLUDE_DIR} ${CMAKE_BINARY_DIR}/tools)

add_custom_command(OUTPUT ${header} ${TANDREL_IDL_GUIDS}
  COMMAND ${TANDREL_WIDL} ${widl_target} -I ${wine_idl_dir} -h -o ${header} ${TANDREL_IDL}
  COMMAND ${TANDREL_WIDL} ${widl_target} -I ${wine_idl_dir} -u -o ${TANDREL_IDL_GUIDS} ${TANDREL_IDL}
  DEPENDS ${TANDREL_IDL}
  COMMENT "widl: C++ declarations and GUIDs of tandrel_pro.idl"
  VERBATIM)

add_custom_command(OUTPUT ${widl_typelib}
  COMMAND ${TANDREL_WIDL} ${widl_target} -DTANDREL_WIDL_TYPELIB -I ${wine_idl_dir} -L ${stdole_dir}
    -t -o ${widl_typelib} ${TANDREL_IDL}
  DEPENDS ${TANDREL_IDL}
  COMMENT "widl: type library of tandrel_pro.idl"
  VERBATIM)

add_custom_command(OUTPUT ${writer}
  COMMAND ${TANDREL_TOOL_CXX} -std=c++17 -O1 -Wall -Wextra -static -I ${CMAKE_SOURCE_DIR}
    ${writer_source} -o ${writer} -loleaut32 -lole32 -luuid
  DEPENDS ${writer_source} ${CMAKE_SOURCE_DIR}/common/com_ptr.h
    ${CMAKE_SOURCE_DIR}/common/ole_owners.h ${CMAKE_SOURCE_DIR}/common/scope_guard.h
    ${CMAKE_SOURCE_DIR}/common/unique_handle.h
  COMMENT "Building the x86_64 build tool typelib_writer.exe"
  VERBATIM)

# Wine paths: Z: is the root of the build machine's file system.
add_custom_command(OUTPUT ${TANDREL_TYPELIB}
  COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-env.sh once ${CMAKE_BINARY_DIR}
    ${writer} Z:${widl_typelib} Z:${TANDREL_TYPELIB} ${system_kind}
  DEPENDS ${writer} ${widl_typelib}
  COMMENT "typelib_writer: tandrel_pro.tlb for ${system_kind}"
  VERBATIM)

add_custom_target(tandrel_idl DEPENDS ${header} ${TANDREL_IDL_GUIDS} ${TANDREL_TYPELIB})

# Where the target runs here, also write the library for 32-bit Windows, so that the tests can
# read what the i686 build (never run here) links.
if(TANDREL_CAN_RUN_TARGET AND system_kind STREQUAL "win64")
  # Cached so that the tests directory sees it.
  set(TANDREL_TYPELIB_WIN32 ${TANDREL_IDL_INCLUDE_DIR}/tandrel_pro_win32.tlb CACHE INTERNAL "")
  set(widl_typelib_win32 ${TANDREL_IDL_INCLUDE_DIR}/tandrel_pro_widl_win32.tlb)
  add_custom_command(OUTPUT ${widl_typelib_win32}
    COMMAND ${TANDREL_WIDL} --win32 -DTANDREL_WIDL_TYPELIB -I ${wine_idl_dir} -L ${stdole_dir}
      -t -o ${widl_typelib_win32} ${TANDREL_IDL}
    DEPENDS ${TANDREL_IDL}
    COMMENT "widl: 32-bit type library of tandrel_pro.idl"
    VERBATIM)
  add_custom_command(OUTPUT ${TANDREL_TYPELIB_WIN32}
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-env.sh once ${CMAKE_BINARY_DIR}
      ${writer} Z:${widl_typelib_win32} Z:${TANDREL_TYPELIB_WIN32} win32
    # After the main library: two "once" runs side by side could stop each other's Wine.
    DEPENDS ${writer} ${widl_typelib_win32} ${TANDREL_TYPELIB}
    COMMENT "typelib_writer: tandrel_pro_win32.tlb for win32"
    VERBATIM)
  add_custom_target(tandrel_typelib_win32 ALL DEPENDS ${TANDREL_TYPELIB_WIN32})
endif()
