# The game itself: one static library, no platform in it. Each top-level
# folder is one room of the game; every source file in it belongs to the
# library, but for the entry, which each platform's build brings.
file(GLOB VARNHOLD_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/world/*.cpp
  ${CMAKE_SOURCE_DIR}/game/*.cpp
  ${CMAKE_SOURCE_DIR}/terrain/*.cpp
  ${CMAKE_SOURCE_DIR}/path/*.cpp
  ${CMAKE_SOURCE_DIR}/render/*.cpp
  ${CMAKE_SOURCE_DIR}/replay/*.cpp
  ${CMAKE_SOURCE_DIR}/state/*.cpp
  ${CMAKE_SOURCE_DIR}/net/*.cpp
  ${CMAKE_SOURCE_DIR}/app/*.cpp)
list(FILTER VARNHOLD_CORE_SOURCES EXCLUDE REGEX ".*/app/main\\.cpp$")
add_library(varnhold_core STATIC ${VARNHOLD_CORE_SOURCES})
target_include_directories(varnhold_core PUBLIC ${CMAKE_SOURCE_DIR})
# The one version of the game, its --version and its package alike.
set_source_files_properties(${CMAKE_SOURCE_DIR}/world/version.cpp PROPERTIES
  COMPILE_DEFINITIONS VARNHOLD_VERSION="${PROJECT_VERSION}")
