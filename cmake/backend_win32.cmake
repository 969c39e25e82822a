# Windows backend: Win32 for input, windows, dialogs, registry and the pipe;
# the webview DLL is loaded at run time. Every program of this build links
# statically so that it needs no MinGW runtime DLL beside it.
target_compile_definitions(varnet_platform PUBLIC
  _WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(varnet_platform PUBLIC
  user32 gdi32 comdlg32 advapi32 ole32 winmm shell32 synchronization wtsapi32 oleaut32)
add_link_options(-static -static-libgcc -static-libstdc++)
