# What a build for players must not carry. A build for tests and the demo
# talks to an update server on this machine and trusts the test key, whose
# private half lies in this repository; a player's updater must talk to the
# game's own server and trust only the studio's keys, so a release names
# both on purpose.
include(${CMAKE_CURRENT_LIST_DIR}/trusted-keys.cmake)

# Sets <out> to the 32-bit value of the IPv4 address `text` written as four
# decimal numbers (0 to 255, no leading zeros), or to an empty string when
# it is not written so.
function(_velmora_dotted_quad text out)
  set(value "")
  set(byte "(0|[1-9][0-9]?[0-9]?)")
  if(text MATCHES "^${byte}\\.${byte}\\.${byte}\\.${byte}$")
    set(value 0)
    foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
      if(part GREATER 255)
        set(value "")
        break()
      endif()
      math(EXPR value "${value} * 256 + ${part}")
    endforeach()
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Sets <out> to the eight 16-bit groups of the IPv6 address `text` (without
# brackets, lower case) as a list of numbers, or to an empty string when it
# is not an IPv6 address. A trailing dotted quad counts as two groups; one
# "::" stands for as many zero groups as are missing. Zone identifiers are
# not addresses a URL can carry.
function(_velmora_ipv6_groups text out)
  set(${out} "" PARENT_SCOPE)
  set(groups "")
  # A dotted quad at the end becomes two groups of hexadecimal.
  if(text MATCHES "^(.*:)([0-9]*\\.[0-9.]*)$")
    set(head "${CMAKE_MATCH_1}")
    _velmora_dotted_quad("${CMAKE_MATCH_2}" quad)
    if(quad STREQUAL "")
      return()
    endif()
    math(EXPR high "${quad} >> 16" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR low "${quad} & 65535" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" high "${high}")
    string(REGEX REPLACE "^0x" "" low "${low}")
    set(text "${head}${high}:${low}")
  endif()
  set(hex_groups "([0-9a-f][0-9a-f]?[0-9a-f]?[0-9a-f]?(:[0-9a-f][0-9a-f]?[0-9a-f]?[0-9a-f]?)*)?")
  string(FIND "${text}" "::" first)
  string(FIND "${text}" "::" last REVERSE)
  if(NOT first EQUAL last)
    return()  # two "::", or ":::"
  endif()
  if(first EQUAL -1)
    set(before "${text}")
    set(after "")
  else()
    string(SUBSTRING "${text}" 0 ${first} before)
    math(EXPR rest "${first} + 2")
    string(SUBSTRING "${text}" ${rest} -1 after)
  endif()
  if(NOT before MATCHES "^${hex_groups}$" OR NOT after MATCHES "^${hex_groups}$")
    return()
  endif()
  string(REPLACE ":" ";" before "${before}")
  string(REPLACE ":" ";" after "${after}")
  list(LENGTH before count_before)
  list(LENGTH after count_after)
  math(EXPR missing "8 - ${count_before} - ${count_after}")
  if(first EQUAL -1 AND NOT missing EQUAL 0)
    return()
  elseif(NOT first EQUAL -1 AND missing LESS 1)
    return()
  endif()
  set(zeros "")
  if(missing GREATER 0)
    foreach(i RANGE 1 ${missing})
      list(APPEND zeros 0)
    endforeach()
  endif()
  foreach(group IN LISTS before zeros after)
    math(EXPR number "0x${group}")
    list(APPEND groups ${number})
  endforeach()
  set(${out} "${groups}" PARENT_SCOPE)
endfunction()

# Sets <out> to why the IPv4 address of the 32-bit `value` is this machine's
# own (loopback 127.0.0.0/8, or "this network" 0.0.0.0/8, which reaches this
# machine too), or to an empty string.
function(_velmora_ipv4_loopback value out)
  math(EXPR first "${value} >> 24")
  if(first EQUAL 127 OR first EQUAL 0)
    set(${out} "loopback" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# Sets <out> to why `host` cannot be built into a release, or to an empty
# string when it can. The host is read as a URL's authority: a name, an
# IPv4 address as four decimal numbers, or an IPv6 address in brackets,
# each optionally followed by ":" and a port from 1 to 65535. The other ways
# of writing an IPv4 address that system resolvers accept (one number,
# hexadecimal, octal, fewer than four parts) are refused rather than
# decoded: no name ends in a numeric label, and a release names its server
# plainly.
function(velmora_release_host_problem host out)
  string(TOLOWER "${host}" authority)
  set(loopback "${host} is this machine's own (loopback) address, which only tests and the demo use")
  set(problem "")
  set(port "")
  if(authority STREQUAL "")
    set(problem "no update host was given")
  elseif(authority MATCHES "^\\[([^]]*)\\](:(.*))?$")
    set(name "${CMAKE_MATCH_1}")
    if(CMAKE_MATCH_2)
      set(port "${CMAKE_MATCH_3}")
      if(port STREQUAL "")
        set(problem "${host} has an empty port")
      endif()
    endif()
    _velmora_ipv6_groups("${name}" groups)
    if(groups STREQUAL "")
      set(problem "${host} does not hold an IPv6 address in its brackets")
    else()
      list(SUBLIST groups 0 5 leading)
      list(GET groups 5 sixth)
      list(GET groups 6 seventh)
      list(GET groups 7 eighth)
      if(leading STREQUAL "0;0;0;0;0" AND sixth EQUAL 0 AND seventh EQUAL 0 AND eighth LESS_EQUAL 1)
        set(problem "${loopback}")  # ::1 and ::
      elseif(leading STREQUAL "0;0;0;0;0" AND (sixth EQUAL 65535 OR sixth EQUAL 0))
        # An IPv4 address mapped into IPv6 (or written the old compatible way).
        math(EXPR quad "${seventh} * 65536 + ${eighth}")
        _velmora_ipv4_loopback(${quad} is_loopback)
        # The compatible form has no "this network": ::2 is an address of
        # its own.
        if(sixth EQUAL 0 AND quad LESS 16777216)
          set(is_loopback "")
        endif()
        if(is_loopback)
          set(problem "${loopback}")
        endif()
      endif()
    endif()
  else()
    set(name "${authority}")
    string(FIND "${authority}" ":" colon)
    if(NOT colon EQUAL -1)
      string(SUBSTRING "${authority}" 0 ${colon} name)
      math(EXPR after_colon "${colon} + 1")
      string(SUBSTRING "${authority}" ${after_colon} -1 port)
      if(port STREQUAL "")
        set(problem "${host} has an empty port")
      elseif(port MATCHES ":")
        set(problem "${host} is not a host name or address (an IPv6 address goes in brackets)")
      endif()
    endif()
    # A name may end in a dot (the root); it names the same host.
    string(REGEX REPLACE "\\.$" "" bare "${name}")
    _velmora_dotted_quad("${bare}" quad)
    set(label "[a-z0-9]([a-z0-9-]*[a-z0-9])?")
    if(problem)
    elseif(NOT quad STREQUAL "")
      _velmora_ipv4_loopback(${quad} is_loopback)
      if(is_loopback)
        set(problem "${loopback}")
      endif()
    elseif(bare MATCHES "(^|\\.)(0x[0-9a-f]*|[0-9]+)$")
      set(problem "${host} is not a host name, nor an IPv4 address written as four decimal numbers")
    elseif(NOT bare MATCHES "^${label}(\\.${label})*$")
      set(problem "${host} is not a host name or address")
    elseif(bare MATCHES "(^|\\.)localhost$" OR bare STREQUAL "localhost.localdomain")
      # Every name under "localhost" is this machine's by definition.
      set(problem "${loopback}")
    else()
      string(LENGTH "${bare}" length)
      string(REGEX MATCH "[^.]{64,}" long_label "${bare}")
      if(length GREATER 253 OR long_label)
        set(problem "${host} is not a host name (too long a name or label)")
      endif()
    endif()
  endif()
  if(NOT problem AND NOT port STREQUAL "")
    if(NOT port MATCHES "^[0-9][0-9]?[0-9]?[0-9]?[0-9]?$" OR port EQUAL 0 OR port GREATER 65535)
      set(problem "${host} has a port outside 1 to 65535")
    endif()
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
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

# Stops the configuration with a plain message when the release's update
# host is missing or points at this machine, or when the release would
# trust no key, a test key, or a file that holds no key.
function(velmora_check_release host keys)
  velmora_release_host_problem("${host}" problem)
  if(problem)
    set(needs "needs the game's update host")
    set(fix "Configure it with -DVELMORA_UPDATE_HOST=<host>[:<port>]")
  else()
    velmora_release_keys_problem("${keys}" problem)
    set(needs "must trust the studio's own public keys only")
    set(fix "Give the key headers velmora-publish keygen wrote with -DVELMORA_ENGINE_PUBLIC_KEYS=<key.h>[;<key.h>...]")
  endif()
  if(problem)
    message(FATAL_ERROR
      "A release build (a build for players) ${needs}, and ${problem}.\n${fix}, for example\n"
      "  cmake --preset release -DVELMORA_UPDATE_HOST=updates.example.com "
      "-DVELMORA_ENGINE_PUBLIC_KEYS=$HOME/keys/studio-2025-public.h")
  endif()
endfunction()
