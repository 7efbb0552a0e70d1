# The project's compile and link settings, in one interface target. Every
# library of the tree links it PUBLIC, so that whatever builds on a library,
# its tests and programs included, is compiled and linked the same way.
add_library(zara_settings INTERFACE)
add_library(zara::settings ALIAS zara_settings)
target_compile_options(zara_settings INTERFACE -Wall -Wextra -Wno-unused-parameter)

if(ZARA_WINDOWS)
  # Windows Vista is the oldest system the binaries run on: the linked-in
  # thread runtime imports GetTickCount64, and the library keeps thread-local
  # data, which a DLL loaded at run time only gets from Vista on. The headers
  # and the PE headers say the same. Keep <windows.h> lean.
  target_compile_definitions(zara_settings INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600)
  target_link_options(zara_settings INTERFACE
    LINKER:--major-os-version,6,--minor-os-version,0
    LINKER:--major-subsystem-version,6,--minor-subsystem-version,0
    # The C++ runtime, libgcc and winpthread are linked in, so the binaries
    # depend on system DLLs only.
    -static -static-libgcc -static-libstdc++)
endif()

# ZARA_SANITIZE: the sanitizers of a native build, "address,undefined" or
# "thread".
if(ZARA_SANITIZE)
  target_compile_options(zara_settings INTERFACE -fsanitize=${ZARA_SANITIZE} -fno-omit-frame-pointer)
  if(ZARA_SANITIZE MATCHES "undefined")
    target_compile_options(zara_settings INTERFACE -fno-sanitize-recover=all)
  endif()
  target_link_options(zara_settings INTERFACE -fsanitize=${ZARA_SANITIZE})
endif()

# With ZARA_FUZZ every library carries libFuzzer's coverage, so that a fuzz
# target links the library it fuzzes as it is (zara_add_fuzzer).
if(ZARA_FUZZ)
  set(zara_fuzz_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  target_compile_options(zara_settings INTERFACE -fsanitize=fuzzer-no-link ${zara_fuzz_sanitizers})
  target_link_options(zara_settings INTERFACE ${zara_fuzz_sanitizers})
endif()

# The build's Python is Debian's own interpreter, which has Pillow (the
# artwork and the picture checks read images with it); a python3 earlier on
# PATH may lack it.
set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter of the build and its tests")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
