# Warnings are errors for the project's own targets (not for third-party code).
# GCC 12's -Wrestrict reports false overlaps inside std::string's inlined
# copies at -O2 (GCC bug 105329), so it is left out there.
function(batchplant_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
                                           $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
endfunction()
