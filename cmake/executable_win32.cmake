# varnet.exe: a GUI program (WinMain) with the manifest that asks for
# administrator rights and the segment heap, and the webview DLL beside it.
enable_language(RC)
target_sources(varnet PRIVATE ${CMAKE_SOURCE_DIR}/platform/win32/main/varnet.rc)
set_target_properties(varnet PROPERTIES WIN32_EXECUTABLE TRUE)
string(REPLACE "." "," VARNET_VERSION_COMMAS ${PROJECT_VERSION})
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win32/main/varnet.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/main/varnet.exe.manifest
  COMPILE_DEFINITIONS "VARNET_VERSION=${PROJECT_VERSION};VARNET_VERSION_COMMAS=${VARNET_VERSION_COMMAS}")

if(NOT EXISTS ${VARNET_WEBVIEW_DIR}/libwebview.dll)
  message(FATAL_ERROR "webview library missing in ${VARNET_WEBVIEW_DIR}: run scripts/setup")
endif()
add_custom_command(TARGET varnet POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VARNET_WEBVIEW_DIR}/libwebview.dll
          $<TARGET_FILE_DIR:varnet>/libwebview.dll)
