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

# zara_add_gtest(name SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [AT_DPI dpi...])
# One executable, one CTest test: related cases are grouped inside it. With
# AT_DPI (Windows builds), one test per display scale instead, NAME_at_DPI,
# each run under Wine set to that many dots per inch (tools/wine-dpi), which
# it finds in its environment as ZARA_DPI.
function(zara_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;AT_DPI" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} zara::settings GTest::gtest_main)
  if(ZARA_WINDOWS)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(tests ${name})
  if(T_AT_DPI)
    set(tests "")
    foreach(dpi IN LISTS T_AT_DPI)
      add_test(NAME ${name}_at_${dpi}
               COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-dpi ${dpi} ${PROJECT_SOURCE_DIR}/tools/wine-run
                       $<TARGET_FILE:${name}>)
      # The scale the test must find itself at.
      set_tests_properties(${name}_at_${dpi} PROPERTIES ENVIRONMENT ZARA_DPI=${dpi})
      list(APPEND tests ${name}_at_${dpi})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${tests} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
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
