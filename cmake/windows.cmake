# The Windows build: the same game library with the Win32 backend, one
# executable and nothing else. Tests and tools run on the build machine, so
# they are not cross-built; the pictures and sound come from the native
# asset generator (scripts/build-windows.sh puts them beside the executable).

# Windows headers come in through GL/gl.h; keep them from defining min and
# max, and from pulling in what the game never calls.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)

include(${CMAKE_SOURCE_DIR}/cmake/core_library.cmake)
target_link_libraries(varnhold_core PUBLIC glu32 opengl32)

file(GLOB VARNHOLD_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
# Of the shared platform files, those that need no POSIX: the display step
# and the datagram addresses (the sockets themselves are Winsock's here).
add_executable(varnhold WIN32 ${VARNHOLD_WIN32_SOURCES} ${CMAKE_SOURCE_DIR}/platform/common/display.cpp
  ${CMAKE_SOURCE_DIR}/platform/common/datagram_address.cpp ${CMAKE_SOURCE_DIR}/platform/common/socket_address.cpp)
target_link_libraries(varnhold PRIVATE varnhold_core winmm gdi32 user32 ws2_32 iphlpapi)
# One file to ship: no compiler runtime DLLs beside it.
target_link_options(varnhold PRIVATE -static -static-libgcc -static-libstdc++)
