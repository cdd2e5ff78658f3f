# Warnings are set per target so that third-party headers and flags stay untouched.
function(kvu_set_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive-)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    endif()
endfunction()

# Sanitizers apply to everything built in the tree, the tests included.
set(KVU_SANITIZE "" CACHE STRING "Comma-separated sanitizers, for example address,undefined")
if(KVU_SANITIZE)
    add_compile_options(-fsanitize=${KVU_SANITIZE} -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${KVU_SANITIZE})
    if(KVU_SANITIZE MATCHES "undefined")
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()
