# Compiler settings shared by every target of the tree.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(ZARA_WINDOWS)
  # Windows XP-era API surface is enough; keep <windows.h> lean.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
  # The C++ runtime, libgcc and winpthread are linked in, so the binaries
  # depend on system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(ZARA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
