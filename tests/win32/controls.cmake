# Windows tests of our three control libraries, loaded from fixtures\ beside
# the test programs.

# Test-only container pieces: property bag, recording client site, library
# loader, dispatch and rendering helpers.
add_library(velmora_control_testing STATIC support/control_host.cpp)
target_include_directories(velmora_control_testing PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/controls)
target_link_libraries(velmora_control_testing PUBLIC velmora_winsupport GTest::gtest ole32 oleaut32 uuid gdi32 user32)

# The libraries copied into fixtures\ whenever they are rebuilt, also when
# the test programs themselves are not relinked.
set(control_fixture_copies)
foreach(library mbprgbar_ocx mscomctl_ocx richtx32_ocx)
  get_target_property(stem ${library} OUTPUT_NAME)
  get_target_property(suffix ${library} SUFFIX)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/fixtures/${stem}${suffix})
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/fixtures
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${library}> ${copy}
    DEPENDS ${library}
    VERBATIM)
  list(APPEND control_fixture_copies ${copy})
endforeach()
add_custom_target(control_test_fixtures DEPENDS ${control_fixture_copies})

# Tests that only load the libraries; they touch no registry and run beside
# anything.
velmora_win32_test(controls_win_tests
  SOURCES controls_progress_bar_test.cpp controls_shells_test.cpp
  LIBS velmora_control_testing)
add_dependencies(controls_win_tests control_test_fixtures)

# Tests that register and unregister: each group is a test of its own that
# holds the registration lock, so no other test sees the registry change
# under it. Built like the others, but not discovered (discovery would add
# the tests without the lock).
add_executable(controls_registration_tests controls_registration_test.cpp)
target_link_libraries(controls_registration_tests PRIVATE velmora_control_testing win32_test_support
  GTest::gtest_main advapi32)
add_dependencies(controls_registration_tests control_test_fixtures)
foreach(group ControlRegistration ControlCreationByProgId)
  add_test(NAME ${group} COMMAND controls_registration_tests --gtest_filter=*/${group}.*)
  set_tests_properties(${group} PROPERTIES RESOURCE_LOCK control_registration TIMEOUT 120
    ${VELMORA_GTEST_RAN_THROUGH})
endforeach()
