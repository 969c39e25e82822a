# Installed layout on Windows, as the zip unpacks: varnet.exe with the web
# view DLL beside it, the page in ui\, a read-me of what Windows must have and
# the licences.
install(TARGETS varnet RUNTIME DESTINATION .)
install(FILES ${VARNET_WEBVIEW_DIR}/libwebview.dll DESTINATION .)
install(FILES ${VARNET_PAGE} DESTINATION ui)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in
               ${CMAKE_BINARY_DIR}/install/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/install/README.txt DESTINATION .)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE VARNET_LICENSE_TEXT)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/LICENSE.txt.in
               ${CMAKE_BINARY_DIR}/install/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/install/LICENSE.txt DESTINATION .)
