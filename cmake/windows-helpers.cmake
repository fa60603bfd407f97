# Helpers shared by the Windows targets.

# A DLL whose exports come from a .def file, with undecorated names and the
# stdcall fix-up that MinGW needs to match them. OUTPUT_NAME may carry an
# extension other than .dll (the control libraries are .ocx files).
function(velmora_add_dll target)
  cmake_parse_arguments(ARG "" "DEF;FILE_NAME" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES} ${ARG_DEF})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
  set_target_properties(${target} PROPERTIES PREFIX "")
  if(ARG_FILE_NAME)
    get_filename_component(stem ${ARG_FILE_NAME} NAME_WE)
    get_filename_component(ext ${ARG_FILE_NAME} EXT)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${stem} SUFFIX ${ext})
  endif()
endfunction()

# Copies a built target's file into a folder of the install layout after
# every build of the target.
function(velmora_dist target subdir)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_DIST_DIR}/${subdir}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${VELMORA_DIST_DIR}/${subdir}/
    VERBATIM)
endfunction()
