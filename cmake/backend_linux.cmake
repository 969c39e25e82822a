# Linux backend: X11 (XInput2, XTest) for input, GTK 4 for windows and dialogs,
# the prebuilt webview library on WebKitGTK for the page.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK4 REQUIRED IMPORTED_TARGET gtk4)
pkg_check_modules(X11LIBS REQUIRED IMPORTED_TARGET x11 xi xtst)
find_package(Threads REQUIRED)

# The library's soname is libwebview.so.0.12; give the loader a file of that name.
set(VARNET_WEBVIEW_SO ${CMAKE_BINARY_DIR}/lib/libwebview.so.0.12)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
if(NOT EXISTS ${VARNET_WEBVIEW_DIR}/libwebview-x64.so)
  message(FATAL_ERROR "webview library missing in ${VARNET_WEBVIEW_DIR}: run scripts/setup")
endif()
file(CREATE_LINK ${VARNET_WEBVIEW_DIR}/libwebview-x64.so ${VARNET_WEBVIEW_SO} SYMBOLIC)
add_library(webview SHARED IMPORTED)
set_target_properties(webview PROPERTIES IMPORTED_LOCATION ${VARNET_WEBVIEW_SO}
                                         IMPORTED_SONAME libwebview.so.0.12)

target_link_libraries(varnet_platform PUBLIC PkgConfig::GTK4 PkgConfig::X11LIBS webview Threads::Threads)
include(cmake/wayland.cmake)
