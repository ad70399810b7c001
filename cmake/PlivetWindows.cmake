# What a 64-bit Windows build needs beyond the common settings: the DLLs and
# programs side by side, as they are installed, and the header-only JSON
# library taken from the build machine when the cross tree has none.

# The loader finds a program's DLLs in the program's own folder, and the runner
# looks for the plug-in there first.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

if(CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 QUIET)
  if(NOT nlohmann_json_FOUND)
    # Only the library's own folder is exposed: adding the build machine's
    # include directory would mix its C library headers into the cross build.
    find_path(PLIVET_BUILD_MACHINE_JSON_INCLUDE nlohmann/json.hpp
              PATHS /usr/include /usr/local/include
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    find_file(PLIVET_BUILD_MACHINE_JSON_VERSION nlohmann_jsonConfigVersion.cmake
              PATHS /usr/share/cmake/nlohmann_json /usr/lib/cmake/nlohmann_json
                    /usr/local/share/cmake/nlohmann_json
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(PLIVET_BUILD_MACHINE_JSON_INCLUDE AND PLIVET_BUILD_MACHINE_JSON_VERSION)
      set(overlay ${PROJECT_BINARY_DIR}/build-machine-headers)
      set(package ${PROJECT_BINARY_DIR}/build-machine-packages/nlohmann_json)
      file(MAKE_DIRECTORY ${overlay} ${package})
      if(NOT EXISTS ${overlay}/nlohmann)
        file(CREATE_LINK ${PLIVET_BUILD_MACHINE_JSON_INCLUDE}/nlohmann
             ${overlay}/nlohmann SYMBOLIC COPY_ON_ERROR)
      endif()
      configure_file(${PLIVET_BUILD_MACHINE_JSON_VERSION}
                     ${package}/nlohmann_jsonConfigVersion.cmake COPYONLY)
      file(WRITE ${package}/nlohmann_jsonConfig.cmake
           "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
           "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
           "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
           "    INTERFACE_INCLUDE_DIRECTORIES \"${overlay}\")\n"
           "endif()\n")
      set(nlohmann_json_DIR ${package} CACHE PATH
          "JSON library package for the cross build" FORCE)
    endif()
  endif()
endif()

# The version resources are compiled by the cross toolchain's windres.
enable_language(RC)

# A version resource for TARGET, so the file's properties show the product
# and its version.
function(plivet_version_resource target description file_type)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(rc_name ${name})
  set(rc_description ${description})
  set(rc_file_type ${file_type})
  if(file_type STREQUAL "VFT_DLL")
    set(rc_file_name ${name}.dll)
  else()
    set(rc_file_name ${name}.exe)
  endif()
  set(rc ${PROJECT_BINARY_DIR}/version-resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# Settings of targets made in the subfolders, applied once all are read.
function(plivet_windows_targets)
  # The host library carries its plain name, as the plug-in's does.
  set_target_properties(simhost PROPERTIES PREFIX "")
  plivet_version_resource(qormplivet "PLIVET module: keeps copied parts apart" VFT_DLL)
  plivet_version_resource(simhost "PLIVET simulated host" VFT_DLL)
  plivet_version_resource(cadsim "PLIVET session runner" VFT_APP)
  plivet_version_resource(plivet-parts "PLIVET parts report" VFT_APP)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL plivet_windows_targets)
