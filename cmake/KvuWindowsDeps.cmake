# Third-party code for the mingw-w64 build, from Debian's packages: spdlog, fmt and CLI11 used
# header-only from copies of their headers (never /usr/include itself on the mingw include path,
# its glibc headers would shadow mingw's), GoogleTest built from Debian's source.
set(KVU_MINGW_INCLUDE ${CMAKE_BINARY_DIR}/mingw-include)
foreach(header_dir spdlog fmt CLI)
    if(NOT EXISTS /usr/include/${header_dir})
        message(FATAL_ERROR "/usr/include/${header_dir} is missing (scripts/deps.sh test)")
    endif()
    file(COPY /usr/include/${header_dir} DESTINATION ${KVU_MINGW_INCLUDE})
endforeach()

add_library(kvu_fmt_headers INTERFACE)
target_include_directories(kvu_fmt_headers SYSTEM INTERFACE ${KVU_MINGW_INCLUDE})
target_compile_definitions(kvu_fmt_headers INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS kvu_fmt_headers)

add_library(kvu_spdlog_headers INTERFACE)
target_compile_definitions(kvu_spdlog_headers INTERFACE SPDLOG_HEADER_ONLY SPDLOG_FMT_EXTERNAL)
target_link_libraries(kvu_spdlog_headers INTERFACE kvu_fmt_headers)
add_library(spdlog::spdlog ALIAS kvu_spdlog_headers)

add_library(kvu_cli11_headers INTERFACE)
target_include_directories(kvu_cli11_headers SYSTEM INTERFACE ${KVU_MINGW_INCLUDE})
add_library(CLI11::CLI11 ALIAS kvu_cli11_headers)

if(KVU_BUILD_TESTS)
    if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
        message(FATAL_ERROR "/usr/src/googletest is missing (Debian package googletest)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    # Its own CMake code names the targets GTest::gtest and GTest::gtest_main.
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
