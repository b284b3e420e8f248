# Warnings are errors in our own targets; sanitizers apply to everything we build.
function(project_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

if(ALARMCFG_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # Lets a check that sanitizers distort (resident memory) know where it runs.
  add_compile_definitions(ALARMCFG_SANITIZE)
endif()
