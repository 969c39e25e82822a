# Installed layout on Linux: the program keeps its private web view library
# and its page beside itself in lib/varnet/ and finds both from its own path
# (the rpath $ORIGIN; the page in ui/), also when started through the bin/
# symlink, because the system resolves that link for /proc/self/exe.
include(GNUInstallDirs)
set(VARNET_INSTALL_DIR lib/varnet)
set(VARNET_APP_ID org.varnet.Varnet)
set(VARNET_PACKAGING ${CMAKE_SOURCE_DIR}/packaging/linux)

set_target_properties(varnet PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS varnet RUNTIME DESTINATION ${VARNET_INSTALL_DIR})
install(FILES ${VARNET_WEBVIEW_DIR}/libwebview-x64.so RENAME libwebview.so.0.12
        DESTINATION ${VARNET_INSTALL_DIR})
install(FILES ${VARNET_PAGE} DESTINATION ${VARNET_INSTALL_DIR}/ui)

file(RELATIVE_PATH VARNET_LINK_TARGET /${CMAKE_INSTALL_BINDIR} /${VARNET_INSTALL_DIR}/varnet)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ${VARNET_LINK_TARGET} ${CMAKE_BINARY_DIR}/install/varnet SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install/varnet DESTINATION ${CMAKE_INSTALL_BINDIR})

# The menu entry starts the program by its absolute path: kwin grants the
# fake input it declares only to the program that path names. The path is
# the prefix installed to (cpack's, for the package), so the entry is
# written at install time; the one written now is what the tests validate.
set(VARNET_DESKTOP_ENTRY ${CMAKE_BINARY_DIR}/install/${VARNET_APP_ID}.desktop)
set(VARNET_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
configure_file(${VARNET_PACKAGING}/${VARNET_APP_ID}.desktop.in ${VARNET_DESKTOP_ENTRY} @ONLY)
install(CODE "
  set(VARNET_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${VARNET_PACKAGING}/${VARNET_APP_ID}.desktop.in\" \"${VARNET_DESKTOP_ENTRY}\" @ONLY)")
install(FILES ${VARNET_DESKTOP_ENTRY} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The window's icon and its variant while something runs; a program run from
# the build folder finds them in icons/ beside itself.
set(VARNET_ICONS ${VARNET_PACKAGING}/${VARNET_APP_ID}.svg ${VARNET_PACKAGING}/${VARNET_APP_ID}-running.svg)
install(FILES ${VARNET_ICONS} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
file(COPY ${VARNET_ICONS} DESTINATION ${CMAKE_BINARY_DIR}/icons)
configure_file(${VARNET_PACKAGING}/${VARNET_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/install/${VARNET_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/${VARNET_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual page and change log compressed as Debian wants them (-n: no name or
# time stamp, so the same sources give the same bytes).
function(varnet_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
configure_file(${VARNET_PACKAGING}/varnet.1.in ${CMAKE_BINARY_DIR}/install/varnet.1 @ONLY)
varnet_gzip(${CMAKE_BINARY_DIR}/install/varnet.1 ${CMAKE_BINARY_DIR}/install/varnet.1.gz)
configure_file(${VARNET_PACKAGING}/changelog.in ${CMAKE_BINARY_DIR}/install/changelog @ONLY)
varnet_gzip(${CMAKE_BINARY_DIR}/install/changelog ${CMAKE_BINARY_DIR}/install/changelog.gz)
add_custom_target(varnet_docs ALL DEPENDS
  ${CMAKE_BINARY_DIR}/install/varnet.1.gz ${CMAKE_BINARY_DIR}/install/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/install/varnet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VARNET_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/install/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnet)
