# Installed layout on Windows, as the zip unpacks: varnet.exe with the web
# view DLL beside it, the page in ui\, and a read-me of what Windows must have.
install(TARGETS varnet RUNTIME DESTINATION .)
install(FILES ${VARNET_WEBVIEW_DIR}/libwebview.dll DESTINATION .)
install(FILES ${VARNET_PAGE} DESTINATION ui)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in
               ${CMAKE_BINARY_DIR}/install/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/install/README.txt DESTINATION .)
