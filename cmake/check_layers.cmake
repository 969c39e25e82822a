# Fails when a file of a core layer includes a header of a layer above it.
# The build already fails on such an #include wherever it is compiled; this
# also covers the headers that only higher layers include.
#   cmake -DSOURCE_DIR=<repository> -DLAYERS=<layers, bottom first> -P check_layers.cmake
set(rank 0)
foreach(layer IN LISTS LAYERS)
  set(rank_${layer} ${rank})
  math(EXPR rank "${rank} + 1")
endforeach()

set(violations "")
foreach(layer IN LISTS LAYERS)
  file(GLOB files ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" folder "${line}")
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
