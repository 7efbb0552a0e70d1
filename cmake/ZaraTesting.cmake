# Test helpers. GoogleTest comes from Debian's source package and is built for
# whichever target this tree is configured for; Windows test programs run
# through Wine via CMAKE_CROSSCOMPILING_EMULATOR.
set(ZARA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET GTest::gtest_main)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ${ZARA_WINDOWS} CACHE BOOL "" FORCE)
  add_subdirectory(${ZARA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gtest ALIAS gtest)
  endif()
endif()

# zara_add_gtest(name SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
# One executable, one CTest test: related cases are grouped inside it.
function(zara_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(ZARA_WINDOWS)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# zara_add_fuzzer(name SOURCES ... CODE target [LIBS ...])
# A libFuzzer executable (with ZARA_FUZZ): the SOURCES plus the sources of the
# CODE library under test, all instrumented, so that libFuzzer sees the
# coverage of that code; the library itself stays uninstrumented for the tests.
function(zara_add_fuzzer name)
  cmake_parse_arguments(F "" "CODE" "SOURCES;LIBS" ${ARGN})
  get_target_property(code_dir ${F_CODE} SOURCE_DIR)
  get_target_property(code_sources ${F_CODE} SOURCES)
  list(TRANSFORM code_sources PREPEND ${code_dir}/)
  set(fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  add_executable(${name} ${F_SOURCES} ${code_sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${code_dir})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE ${fuzz_flags})
  target_link_options(${name} PRIVATE ${fuzz_flags})
endfunction()
