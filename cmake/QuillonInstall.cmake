# Install layout and the Debian package.
#
# Destinations are relative to a prefix of "/", so that `cmake --install build`
# puts the program into /opt/quillon and its menu entry into /usr/share, and
# `cmake --install build --prefix DIR` (or DESTDIR) puts the same tree under DIR.
#   opt/quillon/            the root folder template (INI file; no databases)
#   opt/quillon/bin/        the program folder: executables and data files
#   usr/share/applications  the desktop menu entry
#   usr/share/icons/hicolor the icons
# An installed program folder is not writable by its users: the program then
# keeps its root folder and its writable files in the user's data folder.
# A build tree configured before these rules holds CMake's own default, /usr/local.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
  set(CMAKE_INSTALL_PREFIX "/" CACHE PATH "Install prefix (the tree holds opt/ and usr/)" FORCE)
endif()
set(QUILLON_INSTALL_ROOT opt/quillon)
set(QUILLON_INSTALL_PROGRAM opt/quillon/bin)

foreach(target quillon quillon-convert vexowtcp scale-sim)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${QUILLON_INSTALL_PROGRAM})
  endif()
endforeach()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/program/ DESTINATION ${QUILLON_INSTALL_PROGRAM})
install(FILES ${CMAKE_SOURCE_DIR}/data/root/Vexo2005.INI DESTINATION ${QUILLON_INSTALL_ROOT})
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/quillon.desktop DESTINATION usr/share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quillon.png DESTINATION usr/share/icons/hicolor/64x64/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/quillon-256.png DESTINATION usr/share/icons/hicolor/256x256/apps
        RENAME quillon.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "Quillon maintainers <maintainers@quillon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Label designer for networked retail weighing scales")
set(CPACK_PACKAGE_DESCRIPTION "Lays out labels on a millimetre canvas, converts them to and from the scales' data files and sends them to many scales at once.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The Qt libraries come from dpkg-shlibdeps; plugins and programs it cannot see are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, iputils-ping")
# A shared scale list on a server, legacy database import, Chinese interface texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, mdbtools, fonts-dejavu-core, fonts-wqy-microhei")
include(CPack)
