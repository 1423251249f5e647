# Warnings are errors for the project's own targets (not for third-party code).
# GCC 12's -Wrestrict reports false overlaps inside std::string's inlined
# copies at -O2 (GCC bug 105329), so it is left out there. Clang's
# -Wself-assign-overloaded flags tests that assign an object to itself on
# purpose (to check that it survives), so it is left out for clang.
function(batchplant_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
                                           $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>
                                           $<$<CXX_COMPILER_ID:Clang>:-Wno-self-assign-overloaded>)
endfunction()
