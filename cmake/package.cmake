# Packages made by cpack from the install rules: on Linux a Debian package
# whose dependencies dpkg-shlibdeps reads from the libraries the program and
# its web view library load; for Windows a zip that runs where it is unpacked.
set(VARNET_PACKAGE_CONTACT "Varnet developers <varnet@example.org>"
    CACHE STRING "Maintainer of the Debian package")

set(CPACK_PACKAGE_NAME varnet)
set(CPACK_PACKAGE_VENDOR "The Varnet developers")
set(CPACK_PACKAGE_CONTACT ${VARNET_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "auto-clicker, key spammer and macro recorder")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME varnet-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The summary above is the first line; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnet clicks a mouse button over and over at a chosen interval and place,
presses one key over and over, and records the user's mouse and keyboard
input into macros that it plays back at any speed, once or in a loop. Global
hotkeys work from any window; any panel of its window pops out on its own.
It needs an X11 display (or XWayland).")
endif()
include(CPack)
