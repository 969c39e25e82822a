set_target_properties(varnet PROPERTIES BUILD_RPATH ${CMAKE_BINARY_DIR}/lib)
target_link_options(varnet PRIVATE -Wl,-z,relro,-z,now)  # full RELRO, as Debian builds programs
