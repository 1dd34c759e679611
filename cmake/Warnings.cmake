# Warnings for the project's own targets.
function(mw_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
