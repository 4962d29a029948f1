# Shared compile options for every target of the project.
function(modem_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
