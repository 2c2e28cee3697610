# cvm_add_models(<target> OUTPUT_DIR <dir> INPUTS <file>... [OPTIONS <cvmexport option>...])
#
# Adds <target>, part of the default build, that converts each input (a scene document or a
# model file) to <dir>/<name>.cvm with cvmexport, <name> being the input's file name without its
# last extension (as cvmexport --out-dir names outputs). Relative inputs are taken from the
# current source folder, a relative OUTPUT_DIR from the current binary folder. OPTIONS are
# passed to every conversion (e.g. --scale 0.01 --no-normals).
#
# Each conversion is a custom command with a dependency file in which cvmexport names every file
# it read (a glTF's buffers, an OBJ's material library), so that changing any of them converts
# that model again and nothing else. With Ninja, an output whose bytes come out the same is
# not touched (restat), and nothing that depends on it is rebuilt; make has no such notion and
# would convert the model on every build after, so with Makefiles the output is touched.
# Needs a Ninja or Makefile generator.

# The function keeps the policies of this file. Dependency files are written with absolute
# paths, which either setting of CMP0116 reads alike; NEW only keeps CMake from warning.
if(POLICY CMP0116)
  cmake_policy(SET CMP0116 NEW)
endif()

function(cvm_add_models target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_DIR" "INPUTS;OPTIONS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "cvm_add_models(${target}): unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_OUTPUT_DIR OR NOT arg_INPUTS)
    message(FATAL_ERROR "cvm_add_models(${target}): OUTPUT_DIR and INPUTS are required")
  endif()
  if(NOT CMAKE_GENERATOR MATCHES "Ninja|Makefiles")
    message(FATAL_ERROR "cvm_add_models(${target}): needs a Ninja or Makefile generator, not ${CMAKE_GENERATOR}")
  endif()
  if(CMAKE_VERSION VERSION_LESS 3.20 AND CMAKE_GENERATOR MATCHES "Makefiles")
    message(FATAL_ERROR "cvm_add_models(${target}): Makefile generators read dependency files from CMake 3.20 on")
  endif()
  if(NOT TARGET cvm::cvmexport)
    message(FATAL_ERROR "cvm_add_models(${target}): cvm::cvmexport is missing (find_package(cvm) first)")
  endif()

  get_filename_component(dir "${arg_OUTPUT_DIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(outputs "")
  foreach(input IN LISTS arg_INPUTS)
    get_filename_component(source "${input}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${source}" NAME_WLE)
    set(output "${dir}/${name}.cvm")
    if(output IN_LIST outputs)
      message(FATAL_ERROR "cvm_add_models(${target}): two inputs would both write ${output}")
    endif()
    list(APPEND outputs "${output}")
    set(touch "")
    if(NOT CMAKE_GENERATOR MATCHES "Ninja")
      set(touch COMMAND "${CMAKE_COMMAND}" -E touch_nocreate "${output}")
    endif()
    add_custom_command(OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${dir}"
      COMMAND cvm::cvmexport "${source}" -o "${output}" --depfile "${output}.d" --quiet ${arg_OPTIONS}
      ${touch}
      DEPENDS "${source}" "$<TARGET_FILE:cvm::cvmexport>"
      DEPFILE "${output}.d"
      COMMENT "Converting ${input} to ${name}.cvm"
      VERBATIM)
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
