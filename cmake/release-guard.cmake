# What a build for players must not carry. A build for tests and the demo
# talks to an update server on this machine and trusts the test key, whose
# private half lies in this repository; a player's updater must talk to the
# game's own server and trust only the studio's keys, so a release names
# both on purpose.
include(${CMAKE_CURRENT_LIST_DIR}/trusted-keys.cmake)

# Sets <out> to why `host` cannot be built into a release, or to an empty
# string when it can.
function(velmora_release_host_problem host out)
  string(TOLOWER "${host}" name)
  string(REGEX REPLACE ":[0-9]+$" "" name "${name}")
  if(name STREQUAL "")
    set(problem "no update host was given")
  elseif(name MATCHES "^(127\\.[0-9.]+|localhost|\\[::1\\]|::1|0\\.0\\.0\\.0)$")
    set(problem "${host} is this machine's own (loopback) address, which only tests and the demo use")
  elseif(NOT name MATCHES "^[a-z0-9]([a-z0-9.-]*[a-z0-9])?$")
    set(problem "${host} is not a host name or address")
  else()
    set(problem "")
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Stops the configuration with a plain message when the release's update
# host is missing or points at this machine.
function(velmora_check_release_host host)
  velmora_release_host_problem("${host}" problem)
  if(problem)
    message(FATAL_ERROR
      "A release build (a build for players) needs the game's update host, and ${problem}.\n"
      "Configure it with -DVELMORA_UPDATE_HOST=<host>[:<port>], for example\n"
      "  cmake --preset release -DVELMORA_UPDATE_HOST=updates.example.com")
  endif()
endfunction()

# Sets <out> to why the key headers `keys` cannot be a release's trusted
# list, or to an empty string when they can. Besides what any build refuses
# (cmake/trusted-keys.cmake), a test key of comp/keys/ is refused whatever
# its file is called: anyone can sign with it.
function(velmora_release_keys_problem keys out)
  velmora_public_keys_problem("${keys}" problem)
  if(NOT problem)
    file(GLOB test_keys "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../comp/keys/*.h")
    foreach(test_key IN LISTS test_keys)
      velmora_read_public_key("${test_key}" test_bytes ignored)
      foreach(file IN LISTS keys)
        velmora_read_public_key("${file}" bytes ignored)
        if(bytes STREQUAL test_bytes)
          get_filename_component(test_name "${test_key}" NAME)
          string(CONCAT problem "${file} holds the test key comp/keys/${test_name}, whose private half is "
                        "in the repository, so anyone could sign updates for it")
          break()
        endif()
      endforeach()
      if(problem)
        break()
      endif()
    endforeach()
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Stops the configuration with a plain message when the release would trust
# no key, a test key, or a file that holds no key.
function(velmora_check_release_keys keys)
  velmora_release_keys_problem("${keys}" problem)
  if(problem)
    message(FATAL_ERROR
      "A release build (a build for players) must trust the studio's own public keys only, and ${problem}.\n"
      "Give the key headers velmora-publish keygen wrote with -DVELMORA_ENGINE_PUBLIC_KEYS=<key.h>[;<key.h>...], "
      "for example\n"
      "  cmake --preset release -DVELMORA_UPDATE_HOST=updates.example.com "
      "-DVELMORA_ENGINE_PUBLIC_KEYS=$HOME/keys/studio-2025-public.h")
  endif()
endfunction()
