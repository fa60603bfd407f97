# Windows tests of the update engine comp.dll (comp/win/). The parts are
# linked in directly; the whole engine is loaded as the program loads it,
# from engine\comp.dll beside the test program (not fixtures\, where the
# scripted engine of the same name lies). The parts trust the test key,
# whatever list the build's comp.dll was configured with.
velmora_trusted_keys_library(engine_win_test_keys KEYS ${CMAKE_SOURCE_DIR}/comp/keys/test-public.h)
velmora_win32_test(engine_win_parts_tests
  SOURCES engine_win_crypto_test.cpp engine_win_files_test.cpp engine_win_sha256_test.cpp
  LIBS velmora_engine_win engine_win_test_keys)

# Against a local HTTP server: engine_win_server.py publishes the test
# releases with the native build's velmora-publish, serves them with nginx
# and the test proxy (tools/lib/update_server.py) with faults on request,
# and runs the whole test program once while it serves.
add_executable(engine_win_server_tests engine_win_server_test.cpp engine_win_content_build_test.cpp
  engine_win_pack_fetch_test.cpp engine_win_staging_test.cpp)
# It links the engine's parts too, to test a request with limits of its own.
target_link_libraries(engine_win_server_tests PRIVATE velmora_win velmora_engine_win win32_test_support
  GTest::gtest_main psapi)
# A copy of comp.dll made again whenever the library changes.
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/engine/comp.dll
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/engine
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:update_engine> ${CMAKE_CURRENT_BINARY_DIR}/engine/
  DEPENDS update_engine
  VERBATIM)
add_custom_target(engine_win_test_copy ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/engine/comp.dll)
add_dependencies(engine_win_server_tests engine_win_test_copy)
# The engines of a key rotation, beside it: one trusting the test key and
# the next test key (what a studio ships before it signs with its new key),
# and one trusting only the next (once it has dropped the old key).
velmora_add_engine(engine_trusting_test_and_next FOLDER ${CMAKE_CURRENT_BINARY_DIR}/engine-test-and-next
  KEYS ${CMAKE_SOURCE_DIR}/comp/keys/test-public.h ${CMAKE_SOURCE_DIR}/comp/keys/test-next-public.h)
velmora_add_engine(engine_trusting_next FOLDER ${CMAKE_CURRENT_BINARY_DIR}/engine-next
  KEYS ${CMAKE_SOURCE_DIR}/comp/keys/test-next-public.h)
add_dependencies(engine_win_server_tests engine_trusting_test_and_next engine_trusting_next)
find_program(PYTHON3 python3 REQUIRED)
set(VELMORA_PUBLISH_TOOL ${CMAKE_SOURCE_DIR}/build/native/tools/publish/velmora-publish CACHE FILEPATH
  "velmora-publish from the native build, for the engine's server tests")
add_test(NAME EngineWinServer
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/engine_win_server.py
          --publish-tool ${VELMORA_PUBLISH_TOOL} -- ${CMAKE_CROSSCOMPILING_EMULATOR}
          $<TARGET_FILE:engine_win_server_tests>)
set_tests_properties(EngineWinServer PROPERTIES TIMEOUT 240 ${VELMORA_GTEST_RAN_THROUGH}
  ENVIRONMENT "PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/lib")

# A few kills of the real engine at random moments of an update (the seed is
# printed; tools/measure/kill-test runs fifty, a third of them aimed at the
# switch of the updater's own files): the folder is old-or-new after each,
# and the next run finishes the update.
add_test(NAME EngineWinKilledMidUpdate
  COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tools/measure/kill_test.py 4 --not-aimed)
# It aims its kills by the times of an uninterrupted run, so it runs alone:
# beside the server tests a loaded machine once stretched that run from 2 s
# to 55 s and the kills ran out of time.
set_tests_properties(EngineWinKilledMidUpdate PROPERTIES TIMEOUT 240 RUN_SERIAL TRUE
  ENVIRONMENT "VELMORA_BUILD=${CMAKE_BINARY_DIR};VELMORA_DIST=${VELMORA_DIST_DIR};VELMORA_SOURCE=${CMAKE_SOURCE_DIR};VELMORA_PUBLISH_TOOL=${VELMORA_PUBLISH_TOOL}")

# The real engine behind a caching edge (Varnish) in front of nginx: two
# players install and update, and the second costs the origin no pack.
add_test(NAME EngineWinBehindCachingEdge
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/engine_win_caching_edge.py)
set_tests_properties(EngineWinBehindCachingEdge PROPERTIES TIMEOUT 240
  ENVIRONMENT "VELMORA_BUILD=${CMAKE_BINARY_DIR};VELMORA_DIST=${VELMORA_DIST_DIR};VELMORA_SOURCE=${CMAKE_SOURCE_DIR};VELMORA_PUBLISH_TOOL=${VELMORA_PUBLISH_TOOL};PYTHONPATH=${CMAKE_SOURCE_DIR}/tools/lib")
