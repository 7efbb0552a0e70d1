# Release zip of the Windows binaries (cpack -G ZIP in the windows build).
