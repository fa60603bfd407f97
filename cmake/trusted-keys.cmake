# The public keys a build of the engine trusts, read from the headers
# `velmora-publish keygen` writes. A list rather than one key lets a studio
# rotate its key: it ships an engine that trusts the old and the new key,
# signs with the new one, and later ships an engine that trusts only the new.

# Sets <name_out> to the key's short name: the header's file name without
# its extension and without a trailing "-public" or "-private"
# (studio-2026-public.h is studio-2026), the name velmora-publish gives it.
function(velmora_public_key_name file name_out)
  get_filename_component(name "${file}" NAME_WLE)
  string(REGEX REPLACE "(.)-(public|private)$" "\\1" name "${name}")
  set(${name_out} "${name}" PARENT_SCOPE)
endfunction()

# Sets <bytes_out> to the key in header `file` as 64 lowercase literals
# (0x71;0x41;...), the point X then Y, and <problem_out> to why the file
# holds no such key (empty when it does). The array is read as the tool
# reads it: the literals between the braces after kManifestPublicKey.
function(velmora_read_public_key file bytes_out problem_out)
  set(bytes "")
  set(problem "")
  if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
    set(problem "the key file ${file} does not exist")
  else()
    file(READ "${file}" text)
    string(FIND "${text}" "kManifestPublicKey" at)
    if(at GREATER_EQUAL 0)
      string(SUBSTRING "${text}" ${at} -1 text)
    endif()
    if(at LESS 0 OR NOT text MATCHES "{([^}]*)}")
      set(problem "${file} is no key header written by velmora-publish keygen (it has no kManifestPublicKey array)")
    else()
      set(list "${CMAKE_MATCH_1}")
      string(REGEX MATCHALL "0[xX][0-9a-fA-F][0-9a-fA-F]" bytes "${list}")
      string(REGEX REPLACE "0[xX][0-9a-fA-F][0-9a-fA-F]|[ \t\r\n,]" "" rest "${list}")
      list(LENGTH bytes count)
      if(NOT count EQUAL 64 OR NOT rest STREQUAL "")
        set(problem "${file} holds no kManifestPublicKey of exactly 64 byte literals such as 0x1f")
        set(bytes "")
      else()
        string(TOLOWER "${bytes}" bytes)
      endif()
    endif()
  endif()
  set(${bytes_out} "${bytes}" PARENT_SCOPE)
  set(${problem_out} "${problem}" PARENT_SCOPE)
endfunction()

# Sets <problem_out> to why the header files `keys` cannot be an engine's
# trusted list: empty, a file that holds no key, or two keys of one name.
# Empty when they can.
function(velmora_public_keys_problem keys problem_out)
  set(problem "")
  set(names "")
  if(NOT keys)
    set(problem "no public key was given")
  endif()
  foreach(file IN LISTS keys)
    velmora_read_public_key("${file}" bytes problem)
    if(problem)
      break()
    endif()
    velmora_public_key_name("${file}" name)
    list(FIND names "${name}" earlier)
    if(earlier GREATER_EQUAL 0)
      set(problem "two of the keys are named '${name}' (the name is the file name less -public.h)")
      break()
    endif()
    list(APPEND names "${name}")
  endforeach()
  set(${problem_out} "${problem}" PARENT_SCOPE)
endfunction()

# A static library defining velmora::engine::TrustedKeys() (core/trusted_keys.h)
# as the keys of the header files KEYS, in their order. Link it into an
# engine after velmora_engine_win. Stops the configuration when the list
# cannot be trusted as it is.
function(velmora_trusted_keys_library target)
  cmake_parse_arguments(ARG "" "" "KEYS" ${ARGN})
  velmora_public_keys_problem("${ARG_KEYS}" problem)
  if(problem)
    message(FATAL_ERROR "The engine's public keys (${target}): ${problem}.")
  endif()
  set(entries "")
  foreach(file IN LISTS ARG_KEYS)
    velmora_read_public_key("${file}" bytes problem)
    velmora_public_key_name("${file}" name)
    string(REPLACE "\\" "\\\\" name "${name}")
    string(REPLACE "\"" "\\\"" name "${name}")
    list(JOIN bytes ", " literals)
    string(APPEND entries "    {\"${name}\", {{${literals}}}},\n")
    # A key file that changes reconfigures the build.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  endforeach()
  set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
  # Written only when the text changes, so a reconfiguration rebuilds nothing.
  file(CONFIGURE OUTPUT "${source}" @ONLY CONTENT [[
// Written by cmake/trusted-keys.cmake: the public keys this build of the
// engine trusts, from the key headers it was configured with.
#include "core/trusted_keys.h"

namespace velmora::engine {
namespace {

constexpr TrustedKey kTrustedKeys[] = {
@entries@};

}  // namespace

std::span<const TrustedKey> TrustedKeys() { return kTrustedKeys; }

}  // namespace velmora::engine
]])
  add_library(${target} STATIC "${source}")
  target_link_libraries(${target} PRIVATE velmora_engine_core)
endfunction()
