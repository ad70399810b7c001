# Compile settings of the module's own code: the platform toolchain's dialect,
# exceptions caught at every entry from the host, symbols hidden unless exported by name.
# The folders it may include besides its own are named after the directory,
# as the dependency rule allows them (scripts/lint.sh checks the includes).
function(plivet_module_sources target dir)
  file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  list(FILTER srcs EXCLUDE REGEX "_test\\.cpp$")
  add_library(${target} OBJECT ${srcs})
  target_link_libraries(${target} PUBLIC ${ARGN})
  set_target_properties(${target} PROPERTIES
    CXX_STANDARD 11 CXX_STANDARD_REQUIRED ON CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${target} PRIVATE ${PLIVET_MODULE_FLAGS})
endfunction()
