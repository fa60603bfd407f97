# The program itself, laid out in the install folder.
add_executable(VELUpdater WIN32 main_win.cpp program.rc)
target_link_libraries(VELUpdater PRIVATE velmora_win user32 gdi32 ole32 oleaut32 uuid)
target_link_options(VELUpdater PRIVATE -municode)
set_source_files_properties(program.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_CURRENT_SOURCE_DIR}/window/assets/skin.bmp;${CMAKE_CURRENT_SOURCE_DIR}/window/assets/velmora.ico;${CMAKE_CURRENT_SOURCE_DIR}/VELUpdater.manifest")
velmora_dist(VELUpdater .)
