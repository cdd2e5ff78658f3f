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

# kvu_core_library(NAME name SOURCES ... [LIBS ...])
#   One folder of the GUI-free core as a static library kvu_<name>, alias kvu::<name>.
#   Qt Core, spdlog and fmt only: never Qt Gui or Widgets.
function(kvu_core_library)
    cmake_parse_arguments(L "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_library(kvu_${L_NAME} STATIC ${L_SOURCES})
    add_library(kvu::${L_NAME} ALIAS kvu_${L_NAME})
    target_include_directories(kvu_${L_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(kvu_${L_NAME} PUBLIC Qt6::Core spdlog::spdlog fmt::fmt Threads::Threads
                                               ${L_LIBS})
    target_compile_definitions(kvu_${L_NAME} PUBLIC QT_NO_KEYWORDS SPDLOG_FMT_EXTERNAL)
    kvu_set_warnings(kvu_${L_NAME})
endfunction()

# kvu_fuzz_instrument(target)
#   Coverage feedback and sanitizers for a library that a fuzzer drives (the fuzz preset only).
function(kvu_fuzz_instrument target)
    if(KVU_BUILD_FUZZERS)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                                 -fno-sanitize-recover=undefined
                                                 -fno-omit-frame-pointer)
    endif()
endfunction()
