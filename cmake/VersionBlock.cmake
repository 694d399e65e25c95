# cuemark_version_block(target DESCRIPTION "...")
# Compiles a version block (FileDescription, FileVersion and the four-part fixed
# version) into the target's ".cuemark_version" section, where the About page
# reads it back from the file on disk.
function(cuemark_version_block target)
  cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
  set(CUEMARK_VB_DESCRIPTION "${ARG_DESCRIPTION}")
  set(CUEMARK_VB_MAJOR ${PROJECT_VERSION_MAJOR})
  set(CUEMARK_VB_MINOR ${PROJECT_VERSION_MINOR})
  set(CUEMARK_VB_PATCH ${PROJECT_VERSION_PATCH})
  set(CUEMARK_VB_BUILD 0)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.c)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionBlock.c.in ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()
