# Filled in by the Windows build.
