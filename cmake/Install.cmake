# Installation in the GNU directory layout (cmake --install, DESTDIR, the Debian package):
# programs in bin/, the program's own shared libraries in a private folder
# <libdir>/ferixdnc that the programs reach through a run path relative to themselves, so an
# installed tree works from any root. The libraries have no stable interface for other
# programs, hence no place in the shared library search path of the system.
include(GNUInstallDirs)

set(FERIX_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/ferixdnc)
file(RELATIVE_PATH ferix_bin_to_private ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/ferixdnc)
set(FERIX_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ferixdnc)
set(FERIX_MANUAL_DIR ${FERIX_DOC_DIR}/manual)

# Beside itself first (the build tree), then its run path: how every deliverable looks for
# a library that it loads by name; in the installed tree the run path names the private folder.
foreach(program FerixDNC ferixdncctl ferixdnc-web ferix-unit-sim ferix-heidenhain-machine ferix-tape)
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${ferix_bin_to_private}")
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
# The libraries that programs link carry the interface's version in their name (what the
# programs record and the package's dependency tools read); no one builds against them, so no
# unversioned link name is installed. The ones loaded by their plain name keep it.
foreach(library FerixComm FerixCommWidgets)
    if(TARGET ${library})
        set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN"
                              VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
        install(TARGETS ${library} LIBRARY DESTINATION ${FERIX_PRIVATE_LIBDIR} NAMELINK_SKIP)
    endif()
endforeach()
foreach(library Localizing Lentra Brisel)
    if(TARGET ${library})
        # Beside each other: a library that needs another of the folder finds it there.
        set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
        install(TARGETS ${library} LIBRARY DESTINATION ${FERIX_PRIVATE_LIBDIR})
    endif()
endforeach()

# The desktop entry, its icon in the hicolor theme and the AppStream description.
set(ferix_data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${ferix_data}/ferixdnc.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${ferix_data}/ferixdnc.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${ferix_data}/icons/ferixdnc.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${ferix_data}/icons/${size}/ferixdnc.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The headless service's policy on the system bus.
install(FILES ${ferix_data}/org.ferixdnc.DNC.conf
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/dbus-1/system.d)

# Where the installed manual lies, for the windows' Help.
configure_file(${CMAKE_CURRENT_LIST_DIR}/InstallLayout.h.in
               ${PROJECT_BINARY_DIR}/generated/ferix/InstallLayout.h @ONLY)

# A settings file to start from (the Debian package makes /etc/ferixdnc/DNC.ini of it).
install(FILES ${ferix_data}/DNC.ini.example DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/ferixdnc)
