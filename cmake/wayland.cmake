# Output on Wayland compositors. wlroots: the virtual pointer and virtual
# keyboard protocols; on any compositor: xdg-shell and xdg-output, for the
# surface that takes a pick. Their client glue is generated from the XML kept in
# platform/linux/protocols, with libwayland-client and xkbcommon.
pkg_check_modules(WAYLANDLIBS REQUIRED IMPORTED_TARGET wayland-client xkbcommon)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

set(VARNET_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/protocols)
file(MAKE_DIRECTORY ${VARNET_PROTOCOL_DIR})
set(VARNET_PROTOCOL_SOURCES)
foreach(protocol wlr-virtual-pointer-unstable-v1 virtual-keyboard-unstable-v1 xdg-shell
                 xdg-output-unstable-v1)
  set(xml ${CMAKE_SOURCE_DIR}/platform/linux/protocols/${protocol}.xml)
  set(header ${VARNET_PROTOCOL_DIR}/${protocol}-client-protocol.h)
  set(code ${VARNET_PROTOCOL_DIR}/${protocol}-protocol.c)
  add_custom_command(OUTPUT ${header} ${code}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    COMMENT "Generating the client glue of ${protocol}")
  list(APPEND VARNET_PROTOCOL_SOURCES ${header} ${code})
endforeach()

# KDE Plasma's fake input, from the XML its protocols package installs;
# without it the KDE path is left out and KDE sessions get the X11 path.
find_file(VARNET_KDE_FAKE_INPUT_XML fake-input.xml PATHS /usr/share/plasma-wayland-protocols NO_DEFAULT_PATH)
if(VARNET_KDE_FAKE_INPUT_XML)
  set(header ${VARNET_PROTOCOL_DIR}/fake-input-client-protocol.h)
  set(code ${VARNET_PROTOCOL_DIR}/fake-input-protocol.c)
  add_custom_command(OUTPUT ${header} ${code}
    COMMAND ${WAYLAND_SCANNER} client-header ${VARNET_KDE_FAKE_INPUT_XML} ${header}
    COMMAND ${WAYLAND_SCANNER} private-code ${VARNET_KDE_FAKE_INPUT_XML} ${code}
    DEPENDS ${VARNET_KDE_FAKE_INPUT_XML}
    COMMENT "Generating the client glue of fake-input")
  list(APPEND VARNET_PROTOCOL_SOURCES ${header} ${code}
       ${CMAKE_SOURCE_DIR}/platform/linux/kde/fake_input_linux.cpp)
else()
  message(STATUS "plasma-wayland-protocols not found: building without KDE's fake input")
  list(APPEND VARNET_PROTOCOL_SOURCES ${CMAKE_SOURCE_DIR}/platform/linux/kde/fake_input_absent_linux.cpp)
endif()

# KDE's shortcut service is reached over D-Bus with GIO, which GTK brings:
# no KDE package is needed to build it.
list(APPEND VARNET_PROTOCOL_SOURCES ${CMAKE_SOURCE_DIR}/platform/linux/kde/global_shortcuts_linux.cpp
     ${CMAKE_SOURCE_DIR}/platform/linux/kde/qt_keys_linux.cpp)

# The generated glue is C; it compiles as C beside the C++ backend.
enable_language(C)
target_sources(varnet_platform PRIVATE ${VARNET_PROTOCOL_SOURCES})
target_include_directories(varnet_platform PRIVATE ${VARNET_PROTOCOL_DIR})
target_link_libraries(varnet_platform PUBLIC PkgConfig::WAYLANDLIBS)

# The tests' own Wayland client (a logging window, a key presser for the
# compositor's hotkeys, and a clicker), generated from the XML the system's
# wayland-protocols package installs.
function(varnet_add_wayland_test_client target source)
  pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
  set(xml ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
  set(dir ${CMAKE_BINARY_DIR}/test-protocols)
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(OUTPUT ${dir}/xdg-shell-client-protocol.h ${dir}/xdg-shell-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/xdg-shell-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/xdg-shell-protocol.c
    DEPENDS ${xml})
  add_executable(${target} ${source} ${dir}/xdg-shell-client-protocol.h ${dir}/xdg-shell-protocol.c
    ${VARNET_PROTOCOL_DIR}/virtual-keyboard-unstable-v1-protocol.c
    ${VARNET_PROTOCOL_DIR}/wlr-virtual-pointer-unstable-v1-protocol.c
    ${VARNET_PROTOCOL_DIR}/xdg-output-unstable-v1-protocol.c)
  target_include_directories(${target} PRIVATE ${dir} ${VARNET_PROTOCOL_DIR})
  target_link_libraries(${target} PRIVATE PkgConfig::WAYLANDLIBS)
  # kwin has no virtual keyboard: there the client presses through its fake input.
  if(VARNET_KDE_FAKE_INPUT_XML)
    target_sources(${target} PRIVATE ${VARNET_PROTOCOL_DIR}/fake-input-protocol.c)
    target_compile_definitions(${target} PRIVATE VARNET_TEST_KDE_FAKE_INPUT)
  endif()
endfunction()
