# Warnings every first-party target is built with.
function(vorla_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
endfunction()

# Collects the .cpp files under a folder (recursively) so that adding a file
# needs no edit here; CONFIGURE_DEPENDS re-globs on every build.
function(vorla_glob_sources out dir)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${files} PARENT_SCOPE)
endfunction()
