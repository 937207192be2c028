# `cmake --install`: the programs, the default movie, a desktop entry that starts the intro
# where the movie is, manual pages and vrelctl's bash completion. The desktop entry and the
# pages name the install folder, so they are made at install time, when it is known (cpack
# installs under its own prefix).
include(GNUInstallDirs)

set(VREL_RELEASE_VERSION ${PROJECT_VERSION})
set(VREL_RELEASE_DATE "2026-12-08")  # the pages' date, the changelog's entry

install(TARGETS vrelintro vrelctl vrelmovie RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/vrelfi.dat DESTINATION ${CMAKE_INSTALL_DATADIR}/vrelintro)

set(VREL_INSTALL_GENERATED ${CMAKE_BINARY_DIR}/install-generated)
install(CODE "
  set(VREL_PAGES_TOOL \"$<TARGET_FILE:vrelpages>\")
  set(VREL_GENERATED \"${VREL_INSTALL_GENERATED}\")
  set(VREL_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
  set(VREL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(VREL_DESKTOP_IN \"${CMAKE_SOURCE_DIR}/cmake/package/vrelintro.desktop.in\")
  set(VREL_PAGE_SOURCE \"vrelintro ${VREL_RELEASE_VERSION}\")
  set(VREL_PAGE_DATE \"${VREL_RELEASE_DATE}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/package/generate.cmake\")
")
install(FILES ${VREL_INSTALL_GENERATED}/vrelintro.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VREL_INSTALL_GENERATED}/vrelintro.1.gz ${VREL_INSTALL_GENERATED}/vrelctl.1.gz
  ${VREL_INSTALL_GENERATED}/vrelmovie.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VREL_INSTALL_GENERATED}/vrelctl.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vrelctl)

# Debian wants the copyright and the changelog (compressed without a timestamp) in the
# package's documentation folder.
configure_file(${CMAKE_SOURCE_DIR}/cmake/package/changelog.Debian.in
  ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/changelog.Debian
  DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian
  COMMENT "Compressing the package's changelog"
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/package/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/cmake/package/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vrelintro)

# Symbols bound at start, so the relocations can be made read-only (Debian's hardening).
foreach(program vrelintro vrelctl vrelmovie)
  target_link_options(${program} PRIVATE LINKER:-z,now)
endforeach()

# cpack -G DEB: a Debian package installing into /usr, its dependencies read from the
# libraries the programs really link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vrelintro)
set(CPACK_PACKAGE_VENDOR "Vrel")
set(CPACK_PACKAGE_CONTACT "Seed 1708c727 maintainers <maintainers@users.noreply.c-seed-1708c727.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen intro playing a movie with a greeting")
# Debian's extended description: lines of at most 80 characters, as they are shown.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A small full-screen intro: it switches the screen to 640x480 at 32 bits, plays"
  "a movie with its sound, writes a greeting over every frame in a colour that"
  "steps through a hue cycle, and quits when the movie ends. It comes with its"
  "default movie and a desktop entry that plays it."
  ""
  "Also included: vrelctl, which sends the intro's commands (pause, start, stop,"
  "open, about, exit) to a running intro, and vrelmovie, which writes test and"
  "demo movies.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)  # the movie is compressed already: xz only costs time
include(CPack)
