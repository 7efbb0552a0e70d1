# Compiler settings shared by every target of the tree.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(ZARA_WINDOWS)
  # Windows Vista is the oldest system the binaries run on: the linked-in
  # thread runtime imports GetTickCount64, and the library keeps thread-local
  # data, which a DLL loaded at run time only gets from Vista on. The headers
  # and the PE headers say the same. Keep <windows.h> lean.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600)
  add_link_options(LINKER:--major-os-version,6,--minor-os-version,0
                   LINKER:--major-subsystem-version,6,--minor-subsystem-version,0)
  # The C++ runtime, libgcc and winpthread are linked in, so the binaries
  # depend on system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(ZARA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
