# Warnings every first-party target is built with.
function(vorla_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
  # GCC 12 at -O3 reports -Wrestrict on plain std::string concatenation
  # inside libstdc++ (GCC bug 105329): a false positive we cannot fix in our code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# Collects the .cpp files under a folder (recursively) so that adding a file
# needs no edit here; CONFIGURE_DEPENDS re-globs on every build.
function(vorla_glob_sources out dir)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${files} PARENT_SCOPE)
endfunction()
