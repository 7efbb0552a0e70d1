# Release zip of the Windows binaries: `cpack -G ZIP` in a Windows build.
if(NOT ZARA_WINDOWS)
  return()
endif()

foreach(deliverable SNTP sntpquery quickintro)
  if(TARGET ${deliverable})
    install(TARGETS ${deliverable} RUNTIME DESTINATION . LIBRARY DESTINATION .)
  endif()
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/release-readme.txt DESTINATION . RENAME README.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zaradada-clock-companions)
set(CPACK_PACKAGE_VENDOR Zirazazur)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CPACK_SYSTEM_NAME win64-test)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# The zip carries the binaries without their debugging information.
set(CPACK_STRIP_FILES TRUE)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)

# The zip holds exactly the deliverables and the read-me.
add_test(NAME release_zip
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../tests/release_zip_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(release_zip PROPERTIES LABELS static TIMEOUT 120)
