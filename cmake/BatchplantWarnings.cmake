# Warnings are errors for the project's own targets (not for third-party code).
function(batchplant_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
