# What `cmake --install` puts where, as Debian puts games, and the Debian
# package made from it with `cpack -G DEB`.

install(TARGETS varnhold RUNTIME DESTINATION ${VARNHOLD_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/bmp_floor ${CMAKE_BINARY_DIR}/bmp_scr ${CMAKE_BINARY_DIR}/bmp_unit
    ${CMAKE_BINARY_DIR}/bmp_land ${CMAKE_BINARY_DIR}/sound
  DESTINATION ${VARNHOLD_INSTALL_DATADIR}
  FILES_MATCHING PATTERN "*.bmp" PATTERN "*.wav")

# The menu entry names the installed executable, wherever the prefix is. Its
# name, the icon's and the AppStream file's are the game's reverse-DNS id, so
# that software centres tie the three together.
set(VARNHOLD_APP_ID org.varnhold.Varnhold)
install(CODE "
  set(exec \"\${CMAKE_INSTALL_PREFIX}/${VARNHOLD_INSTALL_BINDIR}/varnhold\")
  file(READ \"${CMAKE_SOURCE_DIR}/packaging/${VARNHOLD_APP_ID}.desktop.in\" entry)
  string(REPLACE \"@VARNHOLD_EXEC@\" \"\${exec}\" entry \"\${entry}\")
  file(WRITE \"${CMAKE_BINARY_DIR}/${VARNHOLD_APP_ID}.desktop\" \"\${entry}\")
")
install(FILES ${CMAKE_BINARY_DIR}/${VARNHOLD_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${VARNHOLD_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/varnhold.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VARNHOLD_APP_ID}.svg)

# Menus and software centres that do not draw SVG take a PNG of the size they
# need. They are drawn from the SVG by rsvg-convert (package librsvg2-bin),
# needed where a package or an install is made; a player's build without it
# only goes without them (the package test insists on them).
find_program(VARNHOLD_RSVG_CONVERT rsvg-convert)
if(VARNHOLD_RSVG_CONVERT)
  set(VARNHOLD_PNG_ICONS)
  foreach(size 48 64 128)
    set(icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${VARNHOLD_APP_ID}.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${VARNHOLD_RSVG_CONVERT} --width ${size} --height ${size} --format png
        --output ${icon} ${CMAKE_SOURCE_DIR}/packaging/varnhold.svg
      DEPENDS ${CMAKE_SOURCE_DIR}/packaging/varnhold.svg)
    list(APPEND VARNHOLD_PNG_ICONS ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(varnhold_icons ALL DEPENDS ${VARNHOLD_PNG_ICONS})
else()
  message(STATUS "rsvg-convert was not found (package librsvg2-bin): the game builds and installs "
    "without its PNG menu icons, only the SVG one")
endif()

# Manual page and changelog compressed as Debian wants them: no name or
# time stamp in the gzip header, so the same sources give the same bytes.
set(VARNHOLD_GZIPPED)
foreach(pair "varnhold.6;varnhold.6.gz" "changelog;changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 output)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/${source} > ${CMAKE_BINARY_DIR}/packaging/${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${source})
  list(APPEND VARNHOLD_GZIPPED ${CMAKE_BINARY_DIR}/packaging/${output})
endforeach()
add_custom_target(varnhold_packaging_files ALL DEPENDS ${VARNHOLD_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/packaging/varnhold.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnhold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Varnhold developers")
set(CPACK_PACKAGE_CONTACT "The Varnhold developers <developers@varnhold.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time strategy skirmish against the computer")
set(CPACK_PACKAGE_DESCRIPTION "A single-player real-time strategy skirmish on a 64 x 64 tile map. Each
empire starts with one leader and 1000 gold; recruit the creatures that
roam the map, work the gold mines and send your units against the
computer's until one empire has no living unit left.

The world is drawn in perspective with OpenGL 1.1; any GPU or none will
do (Mesa's software renderer is enough).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL opens the GL library at run time, so the libraries' own dependencies
# do not name it; any vendor's GLX will do (Mesa's renders without a GPU).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libglx-mesa0 | libglx-vendor")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
