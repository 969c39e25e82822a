# Fails when a file of a layer includes a header of a layer above it. The
# build already fails on such an #include wherever it is compiled; this also
# covers the headers that only higher layers include. Used for the core's
# layers and for the Linux backend's rooms (their includes carry a prefix).
#   cmake -DSOURCE_DIR=<folder of the layers> -DLAYERS=<layers, bottom first>
#         [-DPREFIX=<path before a layer's name in an #include>] -P check_layers.cmake
set(rank 0)
foreach(layer IN LISTS LAYERS)
  set(rank_${layer} ${rank})
  math(EXPR rank "${rank} + 1")
endforeach()

set(violations "")
foreach(layer IN LISTS LAYERS)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^#include \"${PREFIX}[a-z0-9_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"${PREFIX}([a-z0-9_]+)/.*" "\\1" folder "${line}")
      if(DEFINED rank_${folder} AND rank_${folder} GREATER rank_${layer})
        file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
        list(APPEND violations "${name}: ${line} (${folder}/ is above ${layer}/)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes of a higher layer:\n  ${text}")
endif()
