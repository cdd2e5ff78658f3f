# Where `cmake --install` puts the program on Linux, and the Debian package built from that.
include(GNUInstallDirs)

set(kvu_linux ${PROJECT_SOURCE_DIR}/packaging/linux)

if(TARGET kvu-utility)
    install(TARGETS kvu-utility RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET kvuctl)
    install(TARGETS kvuctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET kvu-sim)
    install(TARGETS kvu-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX AND NOT APPLE)
    install(FILES ${kvu_linux}/kvu-utility.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${kvu_linux}/kvu-utility.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${kvu_linux}/kvu-utility.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
    # udev reads rules from lib/ under the prefix (/usr/lib/udev/rules.d for /usr).
    install(FILES ${kvu_linux}/70-kvu-utility.rules DESTINATION lib/udev/rules.d)

    # Manual pages, compressed as distributions keep them.
    set(kvu_man_pages)
    foreach(page kvu-utility.1 kvuctl.1 kvu-sim.1)
        set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
        add_custom_command(OUTPUT ${compressed}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
            COMMAND gzip -9nc ${kvu_linux}/${page} > ${compressed}
            DEPENDS ${kvu_linux}/${page} VERBATIM)
        list(APPEND kvu_man_pages ${compressed})
    endforeach()
    add_custom_target(kvu_man_pages ALL DEPENDS ${kvu_man_pages})
    install(FILES ${kvu_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME kvu-utility)
    set(CPACK_PACKAGE_VENDOR "Nalto")
    set(CPACK_PACKAGE_CONTACT "KVU Utility maintainers <kvu-utility@nalto.example>")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration utility for the KVU field device")
    string(CONCAT CPACK_PACKAGE_DESCRIPTION
        "Finds a KVU device on USB, shows its identity and its four cellular and one Wi-Fi\n"
        "profile, and writes, reloads or erases them; profiles can be kept in preset files.\n"
        "Includes kvuctl, the same from the command line for many devices at once, and\n"
        "kvu-sim, a simulated device on a pseudo-terminal.")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The libraries the binaries need, found by dpkg-shlibdeps.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_STRIP_FILES ON)
    # The X11 platform plugin comes with libqt6gui6; the desktop's look and its file dialogs
    # come with the theme plugins.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${kvu_linux}/debian/postinst ${kvu_linux}/debian/postrm)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    include(CPack)
endif()
