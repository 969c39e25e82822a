set_target_properties(varnet PROPERTIES BUILD_RPATH ${CMAKE_BINARY_DIR}/lib)
