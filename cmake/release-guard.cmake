# What a build for players must not carry. A build for tests and the demo
# talks to an update server on this machine; a player's updater must talk
# to the game's own server, so a release names that host on purpose.

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
