# `cmake --install <build> [--prefix <dir>]` installs Pictorum the way a Linux desktop expects
# it: the program in bin/, its menu entry in share/applications/, its AppStream metadata in
# share/metainfo/ (both named after the AppStream component id), its manual page and its icon
# in every size of the hicolor theme, taken from the artwork drawn at build time. The
# command-line program goes to bin/ as well, with its manual page (when help2man was there to
# make it) and its bash completion. Tests and tools are not installed.
include(GNUInstallDirs)

set(PICTORUM_RES_BINARY_DIR ${PROJECT_BINARY_DIR}/res)
# The sizes res/ draws the application icon in (res/CMakeLists.txt, icon/128/<size>.png).
set(PICTORUM_ICON_SIZES 16 24 32 48 64 128 256)

install(TARGETS pictorum pictorum-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/cli/pictorum-batch.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME pictorum-batch)
if(PICTORUM_BATCH_MAN)
    install(FILES ${PICTORUM_BATCH_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(FILES ${PICTORUM_RES_BINARY_DIR}/pictorum.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PICTORUM_RES_BINARY_DIR}/com.tollerby.pictorum.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PICTORUM_RES_BINARY_DIR}/com.tollerby.pictorum.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS PICTORUM_ICON_SIZES)
    install(FILES ${PICTORUM_RES_BINARY_DIR}/artwork/icon/128/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pictorum.png)
endforeach()
