# Windows tests of the start-up: the registration of control libraries
# against real stand-in libraries, and the system operations of the passes.

# Answers message boxes for tests; any Windows test may use it.
target_sources(win32_test_support PRIVATE ${CMAKE_CURRENT_LIST_DIR}/support/message_boxes.cpp)

velmora_win32_test(startup_win_tests
  SOURCES startup_self_registration_test.cpp startup_operations_test.cpp
  FIXTURES recording_control failing_control slow_control no_entry_point_control
           not_a_library_control)
# A folder of its own, with the recording regsvr32.exe beside the program:
# a command line that names regsvr32 bare finds that one first.
set_target_properties(startup_win_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/startup)
add_dependencies(startup_win_tests regsvr32_recorder)
add_custom_command(TARGET startup_win_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:regsvr32_recorder> $<TARGET_FILE_DIR:startup_win_tests>/
  VERBATIM)
