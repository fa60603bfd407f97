# Windows tests of the update engine comp.dll (comp/win/). The parts are
# linked in directly; the whole engine is loaded as the program loads it,
# from engine\comp.dll beside the test program (not fixtures\, where the
# scripted engine of the same name lies).
velmora_win32_test(update_engine_parts_tests
  SOURCES update_engine_crypto_test.cpp update_engine_files_test.cpp update_engine_sha256_test.cpp
  LIBS velmora_engine_win)

# Against a local HTTP server: update_engine_server.py publishes the test
# releases with the native build's velmora-publish, serves them with faults
# on request, and runs the whole test program once while it serves.
add_executable(update_engine_server_tests update_engine_server_test.cpp)
target_link_libraries(update_engine_server_tests PRIVATE velmora_win win32_test_support GTest::gtest_main)
# A copy of comp.dll made again whenever the library changes.
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/engine/comp.dll
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/engine
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:update_engine> ${CMAKE_CURRENT_BINARY_DIR}/engine/
  DEPENDS update_engine
  VERBATIM)
add_custom_target(update_engine_test_copy ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/engine/comp.dll)
add_dependencies(update_engine_server_tests update_engine_test_copy)
find_program(PYTHON3 python3 REQUIRED)
set(VELMORA_PUBLISH_TOOL ${CMAKE_SOURCE_DIR}/build/native/tools/publish/velmora-publish CACHE FILEPATH
  "velmora-publish from the native build, for the engine's server tests")
add_test(NAME UpdateEngineServer
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/update_engine_server.py
          --publish-tool ${VELMORA_PUBLISH_TOOL} -- ${CMAKE_CROSSCOMPILING_EMULATOR}
          $<TARGET_FILE:update_engine_server_tests>)
set_tests_properties(UpdateEngineServer PROPERTIES TIMEOUT 240)
