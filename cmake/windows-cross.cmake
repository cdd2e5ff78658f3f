# Cross build for Windows x86-64 on Linux: Qt for mingw-w64 from KVU_QT_MINGW (default: the
# shared toolkit beside the checkout), Debian's own moc, rcc and uic from /usr.
if(DEFINED ENV{KVU_QT_MINGW} AND NOT "$ENV{KVU_QT_MINGW}" STREQUAL "")
    set(KVU_QT_MINGW "$ENV{KVU_QT_MINGW}")
elseif(NOT KVU_QT_MINGW)
    set(KVU_QT_MINGW "${CMAKE_CURRENT_LIST_DIR}/../../shared/toolchains/qt-6.4.2-mingw-w64")
endif()
get_filename_component(KVU_QT_MINGW "${KVU_QT_MINGW}" ABSOLUTE)
set(KVU_QT_MINGW "${KVU_QT_MINGW}" CACHE PATH "Qt for Windows (mingw-w64)" FORCE)
if(NOT EXISTS "${KVU_QT_MINGW}/lib/cmake/Qt6/qt.toolchain.cmake")
    message(FATAL_ERROR "No Qt for Windows at ${KVU_QT_MINGW} (set KVU_QT_MINGW)")
endif()
set(QT_HOST_PATH /usr CACHE PATH "Host Qt with moc, rcc and uic")
# try_compile projects include this file again and must see the same toolkit.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KVU_QT_MINGW QT_HOST_PATH)
include("${KVU_QT_MINGW}/lib/cmake/Qt6/qt.toolchain.cmake")
