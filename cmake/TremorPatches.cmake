# Our patches to Tremor (cmake/tremor-patches/NNNN-*.patch, applied in name
# order) put on a copy of its source tree, so that the tree itself, which
# builds may share, is never changed.
#
# velmora_patch_tremor(SOURCE_DIR PATCHED_DIR [REFERENCE]) leaves in
# PATCHED_DIR the tree's top-level sources with every patch applied. With
# REFERENCE the speed patches (those whose header says "Speed only.": they
# must not change one output bit) are left out: that tree is the reference
# the tests hold the sped-up Tremor to, mended as the library's is. The copy is made afresh
# whenever the tree's files or the patches differ from those it was made
# from (a fingerprint of both is kept beside it), so reconfiguring is
# idempotent and a changed patch or tree is never applied on top of an old
# copy. A patch that does not apply exactly stops the configuration.
set(velmora_tremor_patch_dir ${CMAKE_CURRENT_LIST_DIR}/tremor-patches)

# Whether a patch's header (its text before the first diff) says it only
# speeds Tremor up.
function(velmora_patch_is_speed_only patch result)
  file(STRINGS ${patch} lines)
  set(${result} FALSE PARENT_SCOPE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^(diff |--- )")
      return()
    endif()
    if(line MATCHES "(^|[ .])Speed only\\.")
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

function(velmora_patch_tremor source_dir patched_dir)
  file(GLOB patches CONFIGURE_DEPENDS ${velmora_tremor_patch_dir}/*.patch)
  list(SORT patches)
  if(ARGV2 STREQUAL "REFERENCE")
    set(mending "")
    foreach(patch ${patches})
      velmora_patch_is_speed_only(${patch} speed_only)
      if(NOT speed_only)
        list(APPEND mending ${patch})
      endif()
    endforeach()
    set(patches ${mending})
  endif()
  file(GLOB tree_files ${source_dir}/*.c ${source_dir}/*.h)
  list(SORT tree_files)
  # Edits to the tree or to a patch rerun the configuration, which remakes
  # the copy.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${patches} ${tree_files})

  set(fingerprint "")
  foreach(file ${tree_files} ${patches})
    file(SHA256 ${file} hash)
    get_filename_component(name ${file} NAME)
    string(APPEND fingerprint "${name} ${hash}\n")
  endforeach()
  set(stamp ${patched_dir}/.patched-from)
  if(EXISTS ${stamp})
    file(READ ${stamp} made_from)
    if(made_from STREQUAL fingerprint)
      return()
    endif()
  endif()

  find_program(VELMORA_PATCH_PROGRAM patch)
  if(NOT VELMORA_PATCH_PROGRAM)
    message(FATAL_ERROR "Tremor from source needs the patch program (Debian package patch)")
  endif()
  file(REMOVE_RECURSE ${patched_dir})
  file(COPY ${tree_files} DESTINATION ${patched_dir})
  foreach(patch ${patches})
    execute_process(
      COMMAND ${VELMORA_PATCH_PROGRAM} -p1 --forward --batch --fuzz=0 --no-backup-if-mismatch
              -d ${patched_dir} -i ${patch}
      RESULT_VARIABLE patch_result
      OUTPUT_VARIABLE patch_output
      ERROR_VARIABLE patch_output)
    if(NOT patch_result EQUAL 0)
      file(REMOVE_RECURSE ${patched_dir})
      message(FATAL_ERROR "${patch} does not apply to the Tremor tree in ${source_dir}:\n${patch_output}")
    endif()
  endforeach()
  file(WRITE ${stamp} "${fingerprint}")
  list(LENGTH patches count)
  message(STATUS "Tremor: ${count} patches applied to a copy in ${patched_dir}")
endfunction()
