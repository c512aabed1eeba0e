# Warnings on for the project's own targets; errors where CI asks for them.
function(sampler_warnings target)
    if(MSVC)
        # The sources are UTF-8, whatever the machine's code page.
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
        if(SAMPLER_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                 -Wno-sign-conversion)
        if(SAMPLER_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
