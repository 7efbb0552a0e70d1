# Test helpers. GoogleTest comes from Debian's source package and is built for
# whichever target this tree is configured for; Windows test programs run
# through Wine via CMAKE_CROSSCOMPILING_EMULATOR.
set(ZARA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET GTest::gtest_main)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ${ZARA_WINDOWS} CACHE BOOL "" FORCE)
  add_subdirectory(${ZARA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
  # Built like the code it tests: the same sanitizers and Windows settings.
  target_link_libraries(gtest PRIVATE zara::settings)
  target_link_libraries(gtest_main PRIVATE zara::settings)
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
  target_link_libraries(${name} PRIVATE ${T_LIBS} zara::settings GTest::gtest_main)
  if(ZARA_WINDOWS)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# zara_add_fuzzer(name SOURCES ... LIBS ...)
# A libFuzzer executable (with ZARA_FUZZ) of the SOURCES, linked against the
# LIBS under test, which the fuzz build instruments like every library.
function(zara_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
