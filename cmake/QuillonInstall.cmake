# Install layout and the Debian package.
#
# Destinations are relative to a prefix of "/", so that `cmake --install build`
# puts the program into /opt/quillon and its menu entry into /usr/share, and
# `cmake --install build --prefix DIR` (or DESTDIR) puts the same tree under DIR.
#   opt/quillon/            the root folder template (INI file; no databases)
#   opt/quillon/bin/        the program folder: executables and data files
#   usr/bin                 links to quillon and quillon-convert
#   usr/share/applications  the desktop menu entry
#   usr/share/icons/hicolor the icons
#   usr/share/...           manual pages, AppStream metadata, bash completion,
#                           copyright, changelog and lintian overrides
# An installed program folder is not writable by its users: the program then
# keeps its root folder and its writable files in the user's data folder.
# A build tree configured before these rules holds CMake's own default, /usr/local.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
  set(CMAKE_INSTALL_PREFIX "/" CACHE PATH "Install prefix (the tree holds opt/ and usr/)" FORCE)
endif()
set(QUILLON_INSTALL_ROOT opt/quillon)
set(QUILLON_INSTALL_PROGRAM opt/quillon/bin)

install(TARGETS quillon quillon-convert vexowtcp scale-sim RUNTIME DESTINATION ${QUILLON_INSTALL_PROGRAM})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/program/ DESTINATION ${QUILLON_INSTALL_PROGRAM})
install(FILES ${CMAKE_SOURCE_DIR}/data/root/Vexo2005.INI DESTINATION ${QUILLON_INSTALL_ROOT})
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/quillon.desktop DESTINATION usr/share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quillon.png DESTINATION usr/share/icons/hicolor/64x64/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quillon-256.png DESTINATION usr/share/icons/hicolor/256x256/apps
        RENAME quillon.png)

# The programs that users, scripts and cron jobs call get links on the PATH; the
# transfer driver and the simulator are called by path and stay in the program
# folder. The links are absolute, to wherever the tree is installed.
install(CODE [[
  foreach(program quillon quillon-convert)
    cmake_path(SET target NORMALIZE "${CMAKE_INSTALL_PREFIX}/opt/quillon/bin/${program}")
    set(link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/usr/bin/${program}")
    message(STATUS "Installing: ${link} -> ${target}")
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/usr/bin")
    file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
  endforeach()
]])

# The project's domain is a placeholder (.invalid) until it has a real one; the
# contact address, the homepage and the AppStream id all follow it.
set(QUILLON_APP_ID invalid.quillon.Quillon)
set(QUILLON_HOMEPAGE https://quillon.invalid)
set(QUILLON_CONTACT "Quillon maintainers <maintainers@quillon.invalid>")
set(package_src ${CMAKE_SOURCE_DIR}/data/package)
set(package_out ${CMAKE_BINARY_DIR}/package)
configure_file(${package_src}/quillon.metainfo.xml.in ${package_out}/${QUILLON_APP_ID}.metainfo.xml @ONLY)
configure_file(${package_src}/quillon.1.in ${package_out}/quillon.1 @ONLY)

# Manual pages and the changelog go compressed as Debian wants them: gzip -9,
# without a time stamp. quillon-convert's page is made from its own --help.
configure_file(${QUILLON_CHANGELOG} ${package_out}/changelog COPYONLY)
set(compressed quillon.1 changelog)
find_program(QUILLON_HELP2MAN help2man REQUIRED)
add_custom_command(OUTPUT ${package_out}/quillon-convert.1
  # A sanitizer build's leak report would fail the build over a help text.
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 SOURCE_DATE_EPOCH=${QUILLON_RELEASE_EPOCH}
          ${QUILLON_HELP2MAN} --no-info --section=1
          "--name=convert label files to and from the data files of retail scales"
          --include=${package_src}/quillon-convert.h2m --output=${package_out}/quillon-convert.1
          $<TARGET_FILE:quillon-convert>
  DEPENDS quillon-convert ${package_src}/quillon-convert.h2m
  COMMENT "Making the manual page of quillon-convert")
list(APPEND compressed quillon-convert.1)
set(compressed_files)
foreach(file ${compressed})
  add_custom_command(OUTPUT ${package_out}/${file}.gz
    COMMAND gzip -9nkf ${file}
    DEPENDS ${package_out}/${file}
    WORKING_DIRECTORY ${package_out})
  list(APPEND compressed_files ${package_out}/${file}.gz)
endforeach()
add_custom_target(quillon_package_files ALL DEPENDS ${compressed_files})
list(FILTER compressed_files INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${compressed_files} DESTINATION usr/share/man/man1)
install(FILES ${package_out}/changelog.gz ${package_src}/copyright DESTINATION usr/share/doc/quillon)
install(FILES ${package_src}/lintian-overrides DESTINATION usr/share/lintian/overrides RENAME quillon)
install(FILES ${package_out}/${QUILLON_APP_ID}.metainfo.xml DESTINATION usr/share/metainfo)
install(FILES ${package_src}/quillon-convert.bash DESTINATION usr/share/bash-completion/completions
        RENAME quillon-convert)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "${QUILLON_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Label designer for networked retail weighing scales")
# Debian shows the description as it is: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Quillon lays out the labels of networked retail weighing and labelling
scales on a millimetre canvas, converts them to and from the data files of
the scales and sends them to many scales at once.
The quillon-convert command does the same conversions in scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLON_HOMEPAGE})
# The Qt libraries come from dpkg-shlibdeps; plugins and programs it cannot see are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, iputils-ping")
# A shared scale list on a server, legacy database import, Chinese interface texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, mdbtools, fping, fonts-dejavu-core, fonts-wqy-microhei")
include(CPack)
