# Cross build for 64-bit Windows with MinGW-w64 (posix threads, so std::thread
# and std::mutex work). Test programs run under Wine through wine-emulator.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNET_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNET_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNET_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNET_MINGW_PREFIX}-windres)

set(VARNET_CONFIGURE_DISPLAY "$ENV{DISPLAY}")
set(VARNET_EMULATOR_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
set(VARNET_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNET_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run through a small script in the build tree that hands the
# build's own Wine prefix (and the display seen at configure time, used when
# the caller has none) to wine-emulator.sh. One path, no arguments: test
# discovery passes the emulator on as a single word.
set(VARNET_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
file(CONFIGURE OUTPUT ${VARNET_WINE_RUN} @ONLY CONTENT [=[#!/bin/sh
[ -n "${DISPLAY:-}" ] || export DISPLAY="@VARNET_CONFIGURE_DISPLAY@"
exec "@VARNET_EMULATOR_SCRIPT@" "@VARNET_WINE_PREFIX@" "$@"
]=])
file(CHMOD ${VARNET_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNET_WINE_RUN})
