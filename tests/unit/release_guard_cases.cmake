# Which update hosts and which trusted keys a build for players accepts: run
# with cmake -DSCRATCH=<folder> -P. SCRATCH receives the key headers made up
# for the cases.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/release-guard.cmake)

set(refused "" "127.0.0.1:8780" "127.0.0.1" "127.1.2.3:80" "LOCALHOST:8080" "localhost" "[::1]:8780" "0.0.0.0"
  "updates example.com" "http://updates.example.com"
  # Loopback written the other ways resolvers accept.
  "2130706433" "0x7f000001" "0177.0.0.1" "127.1" "0x7f.0.0.1" "localhost.localdomain" "localhost." "app.localhost"
  "[::]" "[0:0:0:0:0:0:0:1]" "[::ffff:127.0.0.1]" "[::FFFF:7f00:1]:80" "[::127.0.0.1]"
  # Not an authority a URL can carry.
  "updates.example.com:99999" "updates.example.com:0" "updates.example.com:" "updates.example.com:80a"
  "203.0.113.256" "1.2.3.4.5" "::1" "2001:db8::1" "[2001:db8::1" "[2001:db8::1]:" "[2001:db8::1%25eth0]"
  "[1::2::3]" "[2001:db8:0:0:0:0:0:0:1]" "[12345::1]" "[1.2.3.4]" "-updates.example.com" "updates-.example.com"
  "updates..example.com" "under_score.example.com")
set(accepted "updates.velmora.example" "updates.velmora.example:8080" "203.0.113.7" "CDN-1.Example.com"
  "updates.example.com:65535" "updates.example.com." "0x7f.example.com" "1e100.net" "126.255.255.255"
  "128.0.0.1" "[2001:db8::1]" "[2001:DB8::7]:8080" "[::ffff:203.0.113.7]" "[fe80::1:2:3:4]"
  "[1:2:3:4:5:6:7:8]" "[::2]" "[64:ff9b::203.0.113.7]")
set(wrong "")
foreach(host IN LISTS refused)
  velmora_release_host_problem("${host}" problem)
  if(NOT problem)
    string(APPEND wrong "accepted '${host}'\n")
  endif()
endforeach()
foreach(host IN LISTS accepted)
  velmora_release_host_problem("${host}" problem)
  if(problem)
    string(APPEND wrong "refused '${host}': ${problem}\n")
  endif()
endforeach()

# A header as velmora-publish keygen writes it, holding the 64 bytes
# `first`, first + 1, ... (the guard reads keys; it cannot tell a point of
# the curve, which the engine checks when it loads the key).
function(write_key_header file first)
  set(text "namespace velmora::engine {\ninline constexpr unsigned char kManifestPublicKey[64] = {")
  foreach(i RANGE 63)
    math(EXPR byte "(${first} + ${i}) % 256" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x(.)$" "0x0\\1" byte "${byte}")
    string(APPEND text " ${byte},")
  endforeach()
  file(WRITE "${file}" "${text}\n};\n}\n")
endfunction()
set(keys ${CMAKE_CURRENT_LIST_DIR}/../../comp/keys)
write_key_header(${SCRATCH}/studio-2025-public.h 1)
write_key_header(${SCRATCH}/studio-2026-public.h 100)
write_key_header(${SCRATCH}/other/studio-2026.h 7)
file(COPY_FILE ${keys}/test-next-public.h ${SCRATCH}/studio-key.h)
file(WRITE ${SCRATCH}/short.h "inline constexpr unsigned char kManifestPublicKey[64] = {0x01, 0x02};\n")
file(READ ${SCRATCH}/studio-2025-public.h text)
string(REPLACE "0x01," "0x01, 0x1," text "${text}")
file(WRITE ${SCRATCH}/malformed.h "${text}")

# Lists of key headers, the files of one list joined by '|'.
set(refused_keys
  ""                                                          # none
  "${keys}/test-public.h"                                     # the test key
  "${SCRATCH}/studio-2025-public.h|${keys}/test-public.h"     # the test key beside the studio's
  "${SCRATCH}/studio-key.h"                                   # the second test key, renamed
  "${SCRATCH}/missing-public.h"
  "${SCRATCH}/short.h"                                        # fewer than 64 bytes
  "${SCRATCH}/malformed.h"                                    # "0x1" among the bytes
  "${keys}/test-private.pem"                                  # no header
  "${SCRATCH}/studio-2026-public.h|${SCRATCH}/other/studio-2026.h")  # one name twice
set(accepted_keys
  "${SCRATCH}/studio-2025-public.h"
  "${SCRATCH}/studio-2025-public.h|${SCRATCH}/studio-2026-public.h")  # while the key rotates
foreach(list IN LISTS refused_keys)
  string(REPLACE "|" ";" files "${list}")
  velmora_release_keys_problem("${files}" problem)
  if(NOT problem)
    string(APPEND wrong "accepted the keys '${files}'\n")
  endif()
endforeach()
foreach(list IN LISTS accepted_keys)
  string(REPLACE "|" ";" files "${list}")
  velmora_release_keys_problem("${files}" problem)
  if(problem)
    string(APPEND wrong "refused the keys '${files}': ${problem}\n")
  endif()
endforeach()

if(wrong)
  message(FATAL_ERROR "${wrong}")
endif()
