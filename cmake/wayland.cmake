# The Wayland and KDE rooms. wlroots: the virtual pointer and virtual
# keyboard protocols, whose XML no Debian package holds, kept in
# platform/linux/wayland/protocols; on any compositor: xdg-shell and
# xdg-output, for the outputs' places and the surface that takes a pick, from
# the XML the system's wayland-protocols package installs. Their client glue
# is generated with wayland-scanner into a library of its own and built with
# libwayland-client and xkbcommon.
pkg_check_modules(WAYLANDLIBS REQUIRED IMPORTED_TARGET wayland-client xkbcommon)
pkg_check_modules(WAYLAND_PROTOCOLS REQUIRED wayland-protocols)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

set(VARNET_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/protocols)
file(MAKE_DIRECTORY ${VARNET_PROTOCOL_DIR})
set(VARNET_PROTOCOL_SOURCES)
# Generates protocol's glue from xml into VARNET_PROTOCOL_DIR and adds it to
# VARNET_PROTOCOL_SOURCES.
function(varnet_protocol_glue protocol xml)
  set(header ${VARNET_PROTOCOL_DIR}/${protocol}-client-protocol.h)
  set(code ${VARNET_PROTOCOL_DIR}/${protocol}-protocol.c)
  add_custom_command(OUTPUT ${header} ${code}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    COMMENT "Generating the client glue of ${protocol}")
  set(VARNET_PROTOCOL_SOURCES ${VARNET_PROTOCOL_SOURCES} ${header} ${code} PARENT_SCOPE)
endfunction()
foreach(protocol wlr-virtual-pointer-unstable-v1 virtual-keyboard-unstable-v1)
  varnet_protocol_glue(${protocol} ${CMAKE_SOURCE_DIR}/platform/linux/wayland/protocols/${protocol}.xml)
endforeach()
varnet_protocol_glue(xdg-shell ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
varnet_protocol_glue(xdg-output-unstable-v1 ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml)

# The generated glue is C.
enable_language(C)
add_library(varnet_wayland_glue STATIC ${VARNET_PROTOCOL_SOURCES})
target_include_directories(varnet_wayland_glue PUBLIC ${VARNET_PROTOCOL_DIR})
target_link_libraries(varnet_wayland_glue PUBLIC PkgConfig::WAYLANDLIBS)
target_link_libraries(varnet_linux_wayland PUBLIC varnet_wayland_glue)
target_link_libraries(varnet_linux_sway PUBLIC PkgConfig::WAYLANDLIBS)

# KDE Plasma's fake input, from the XML its protocols package installs;
# without it the KDE room leaves it out and KDE sessions get the X11 path.
# KDE's shortcut service is reached over D-Bus with GIO, which GTK brings:
# no KDE package is needed to build it.
find_file(VARNET_KDE_FAKE_INPUT_XML fake-input.xml PATHS /usr/share/plasma-wayland-protocols NO_DEFAULT_PATH)
if(VARNET_KDE_FAKE_INPUT_XML)
  set(VARNET_PROTOCOL_SOURCES)
  varnet_protocol_glue(fake-input ${VARNET_KDE_FAKE_INPUT_XML})
  target_sources(varnet_wayland_glue PRIVATE ${VARNET_PROTOCOL_SOURCES})
  set_property(TARGET varnet_linux_kde APPEND PROPERTY SOURCES
               ${CMAKE_SOURCE_DIR}/platform/linux/kde/optional/fake_input_linux.cpp)
else()
  message(STATUS "plasma-wayland-protocols not found: building without KDE's fake input")
  set_property(TARGET varnet_linux_kde APPEND PROPERTY SOURCES
               ${CMAKE_SOURCE_DIR}/platform/linux/kde/optional/fake_input_absent_linux.cpp)
endif()
target_link_libraries(varnet_linux_kde PUBLIC varnet_wayland_glue PkgConfig::GIO)

# The tests' own Wayland client (a logging window, a key presser for the
# compositor's hotkeys, and a clicker), on the program's protocol glue.
function(varnet_add_wayland_test_client target source)
  add_executable(${target} ${source}
    ${VARNET_PROTOCOL_DIR}/xdg-shell-protocol.c
    ${VARNET_PROTOCOL_DIR}/virtual-keyboard-unstable-v1-protocol.c
    ${VARNET_PROTOCOL_DIR}/wlr-virtual-pointer-unstable-v1-protocol.c
    ${VARNET_PROTOCOL_DIR}/xdg-output-unstable-v1-protocol.c)
  target_include_directories(${target} PRIVATE ${VARNET_PROTOCOL_DIR})
  # The glue is generated for the backend, in a folder of its own.
  add_dependencies(${target} varnet_wayland_glue)
  target_link_libraries(${target} PRIVATE PkgConfig::WAYLANDLIBS)
  # kwin has no virtual keyboard: there the client presses through its fake input.
  if(VARNET_KDE_FAKE_INPUT_XML)
    target_sources(${target} PRIVATE ${VARNET_PROTOCOL_DIR}/fake-input-protocol.c)
    target_compile_definitions(${target} PRIVATE VARNET_TEST_KDE_FAKE_INPUT)
  endif()
endfunction()
