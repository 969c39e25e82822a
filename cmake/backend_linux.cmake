# Linux backend, in rooms by what each talks to, bottom first; a room's code
# includes only its own headers, those of the rooms before it, the core's and
# the seam's, and links only the system libraries it uses:
#   system   files, processes, the command socket, time, waits, crash save,
#            autostart, the session's kind (libc, GLib)
#   keys     virtual-key codes and keysyms, key names (X11 keysym tables)
#   x11      XTest output, XInput2 capture, grabs, scroll valuators
#   wayland  the compositor input connection and its outputs, wlroots'
#            virtual devices, xkb keymaps, the pick surface, protocol XML
#   portal   the desktop portal's remote desktop (GIO)
#   kde      kwin's fake input, KDE's global shortcuts (Wayland, GIO)
#   sway     sway's IPC hotkeys
#   gtk      the main and panel windows, dialogs, process set-up (GTK 4,
#            the web view library)
# What decides between rooms sits above them all, in platform/linux itself:
# the output route of each record and the capture thread's loop.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK4 REQUIRED IMPORTED_TARGET gtk4)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
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

set(VARNET_LINUX_ROOMS system keys x11 wayland portal kde sway gtk)

# Each room is a static library compiled against an include root that holds
# the core's folders, the seam and only its own room and those before it: an
# #include of a later room's header does not compile. Every room goes into
# each program whole (the core calls into them through the seam, and they
# call into the core), as the backend's objects did.
set(visible_rooms "")
foreach(room IN LISTS VARNET_LINUX_ROOMS)
  file(GLOB room_sources CONFIGURE_DEPENDS platform/linux/${room}/*.cpp)
  list(APPEND visible_rooms ${room})
  set(root ${CMAKE_BINARY_DIR}/rooms/${room})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/platform/linux)
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/platform/platform.h ${root}/platform/platform.h SYMBOLIC)
  foreach(layer IN LISTS VARNET_LAYERS)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${layer} ${root}/${layer} SYMBOLIC)
  endforeach()
  foreach(visible IN LISTS visible_rooms)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/platform/linux/${visible} ${root}/platform/linux/${visible} SYMBOLIC)
  endforeach()
  add_library(varnet_linux_${room} STATIC ${room_sources})
  target_include_directories(varnet_linux_${room} PRIVATE ${root})
  target_link_libraries(varnet_platform PUBLIC "$<LINK_LIBRARY:WHOLE_ARCHIVE,varnet_linux_${room}>")
endforeach()

target_link_libraries(varnet_linux_system PUBLIC PkgConfig::GLIB Threads::Threads)
target_link_libraries(varnet_linux_keys PUBLIC PkgConfig::X11LIBS)
target_link_libraries(varnet_linux_x11 PUBLIC PkgConfig::X11LIBS PkgConfig::WAYLANDLIBS)
target_link_libraries(varnet_linux_portal PUBLIC PkgConfig::GIO)
target_link_libraries(varnet_linux_gtk PUBLIC PkgConfig::GTK4 PkgConfig::X11LIBS webview)
include(cmake/wayland.cmake)

# The rooms' include rules, checked on the sources themselves (the build
# checks them only where a header is compiled).
set(VARNET_ROOMS_CHECK
  ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/platform/linux "-DLAYERS=${VARNET_LINUX_ROOMS}"
  -DPREFIX=platform/linux/ -P ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake)
