# The Debian package of both programs and the desktop files:
#   cmake --build build-rel --target package   ->  build-rel/kelvora_VERSION_ARCH.deb
# Its library dependencies (Qt, the C++ runtime) are read from the programs by dpkg-shlibdeps.
set(KELVORA_PACKAGE_MAINTAINER "Kelvora developers <developers@kelvora.org>"
  CACHE STRING "The Maintainer field of the Debian package")

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash-card learner with spaced repetition")
set(CPACK_PACKAGE_DESCRIPTION
  "Kelvora keeps collections of question and answer items and schedules each\n\
item's next repetition from how well it was remembered. It runs learning\n\
sessions, lets you browse, edit and search items, imports and exports whole\n\
collections as XML or Q&A text, and shows statistics and a calendar of coming\n\
repetitions. kelvora-cli shows and changes collections from a terminal.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
