# Installation and the Debian package.
#
#   cmake --build build --target package   ->  build/coverlume_0.1.0-1_amd64.deb
#
# Installs the two commands, the desktop entry, the icon, the AppStream
# metadata, the man pages (made by help2man from --help at build time) and
# the Debian copyright and changelog; nothing else (no tests, no
# benchmarks). The files come from packaging/; scripts/package-check.sh
# lints the result.

include(GNUInstallDirs)

set(COVERLUME_APP_ID com.quillmoor.Coverlume)
set(COVERLUME_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(COVERLUME_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/coverlume)
set(COVERLUME_ICON_SIZES 16 22 24 32 48 64 128 256)
set(COVERLUME_COMMANDS coverlume)
if(TARGET coverlume-broadcast)
  list(APPEND COVERLUME_COMMANDS coverlume-broadcast)
endif()

# --- Hardening ---------------------------------------------------------------
# The optimised builds take Debian's hardening flags (stack protector,
# format checks, fortified functions, full RELRO). The optimisation and
# debug levels stay the build type's, and the path remapping is left out so
# that worktrees share the compiler cache. Debug builds go without: the
# fortified functions need optimisation.
option(COVERLUME_HARDENING "Build the optimised configurations with dpkg-buildflags' hardening flags" ON)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(COVERLUME_HARDENING AND DPKG_BUILDFLAGS)
  set(hardening_compile)
  set(hardening_link)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
              ${DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O.*|f(file|debug|macro)-prefix-map=.*)$")
    if(kind STREQUAL "LDFLAGS")
      list(APPEND hardening_link ${flags})
    else()
      list(APPEND hardening_compile ${flags})
    endif()
  endforeach()
  set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  foreach(target coverlume_core coverlume_app ${COVERLUME_COMMANDS})
    target_compile_options(${target} PRIVATE "$<${optimised}:${hardening_compile}>")
  endforeach()
  foreach(target ${COVERLUME_COMMANDS})
    target_link_options(${target} PRIVATE "$<${optimised}:${hardening_link}>")
  endforeach()
endif()

# --- Man pages ---------------------------------------------------------------
# help2man reads each command's --help and --version (both answer before
# any window exists) and adds the sections of packaging/<command>.h2m. The
# pages carry the changelog's date, so a rebuild makes the same bytes.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(COVERLUME_MAN_PAGES)
if(HELP2MAN AND GZIP)
  set(man_date_env)
  find_program(DPKG_PARSECHANGELOG dpkg-parsechangelog)
  if(DPKG_PARSECHANGELOG)
    execute_process(
      COMMAND ${DPKG_PARSECHANGELOG} -l ${COVERLUME_PACKAGING_DIR}/changelog -S Timestamp
      OUTPUT_VARIABLE changelog_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(changelog_time MATCHES "^[0-9]+$")
      set(man_date_env SOURCE_DATE_EPOCH=${changelog_time})
    endif()
  endif()
  set(coverlume_man_name "now-playing display for the desktop")
  set(coverlume-broadcast_man_name "serve this computer's now-playing data to Coverlume displays")
  foreach(command ${COVERLUME_COMMANDS})
    set(page ${CMAKE_BINARY_DIR}/man/${command}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env ${man_date_env} QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --section=1 --name=${${command}_man_name}
              --version-string=${PROJECT_VERSION}
              --include=${COVERLUME_PACKAGING_DIR}/${command}.h2m
              --output=${page} $<TARGET_FILE:${command}>
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${command} ${COVERLUME_PACKAGING_DIR}/${command}.h2m
              ${COVERLUME_PACKAGING_DIR}/changelog
      COMMENT "Writing the man page of ${command}"
      VERBATIM)
    list(APPEND COVERLUME_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${COVERLUME_MAN_PAGES})
else()
  message(STATUS "help2man or gzip not found: no man pages (scripts/install-deps.sh installs help2man)")
endif()

# Debian wants its changelog compressed without a time stamp.
set(COVERLUME_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${COVERLUME_CHANGELOG}
  COMMAND ${GZIP} -9nc ${COVERLUME_PACKAGING_DIR}/changelog > ${COVERLUME_CHANGELOG}
  DEPENDS ${COVERLUME_PACKAGING_DIR}/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(debian_changelog ALL DEPENDS ${COVERLUME_CHANGELOG})

# --- Install rules -----------------------------------------------------------
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS ${COVERLUME_COMMANDS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${COVERLUME_PACKAGING_DIR}/${COVERLUME_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${COVERLUME_PACKAGING_DIR}/${COVERLUME_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${COVERLUME_PACKAGING_DIR}/icons/${COVERLUME_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${COVERLUME_ICON_SIZES})
  install(FILES ${COVERLUME_PACKAGING_DIR}/icons/${size}x${size}/${COVERLUME_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
if(COVERLUME_MAN_PAGES)
  install(FILES ${COVERLUME_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${COVERLUME_PACKAGING_DIR}/copyright ${COVERLUME_CHANGELOG}
        DESTINATION ${COVERLUME_DOC_DIR})
install(FILES ${COVERLUME_PACKAGING_DIR}/coverlume.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME coverlume)

# --- The Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME coverlume)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Quillmoor Coverlume Maintainers <maintainers@users.noreply.c-seed-572573b0.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "now-playing display for the desktop")
set(CPACK_PACKAGE_DESCRIPTION
"Coverlume shows what a music player on this computer is playing, or what
a broadcaster on another computer reports: the album artwork with the
title, artist and album, a progress bar with times, the rating and a clock,
in ten animated themes that fade in, hold and fade out. It follows the
players of the desktop session through their MPRIS interface, shows timed
lyrics, takes the keyboard as a remote control and goes full screen by
itself when the computer is left idle.

The package also holds coverlume-broadcast, a small HTTP server that tells
Coverlume displays on other computers what this computer is playing.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# TIFF covers need the image-format plugins; the marks are drawn with DejaVu.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, fonts-dejavu-core")
# Liberation for the themes' text, Wayland windows, and the volume keys.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, qt6-wayland, pulseaudio-utils | wireplumber")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
