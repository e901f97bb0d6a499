# What `cmake --install` puts where (GNUInstallDirs layout under
# CMAKE_INSTALL_PREFIX, DESTDIR honoured): the two programs, the menu entry,
# the icons, the file type of function sets, the AppStream metadata, the manual
# pages and the copyright notice.
# Every desktop file is named after the one application id below.

set(TAVLO_APP_ID io.github.tavlo.Tavlo)

include(GNUInstallDirs)
# GNUInstallDirs names the documentation folder after the project, Tavlo;
# Debian and most systems use the package's lower-case name.
if("$CACHE{CMAKE_INSTALL_DOCDIR}" STREQUAL "")
    set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavlo)
endif()

install(TARGETS tavlo tavlo-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${data}/${TAVLO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${TAVLO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/${TAVLO_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${TAVLO_APP_ID}.xml)
install(FILES ${data}/icons/${TAVLO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48x48 128x128)
    install(FILES ${data}/icons/${size}/${TAVLO_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()
install(FILES ${data}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the change log are installed compressed, as man and the
# Debian tools expect; -n leaves out the name and time stamp, so the package
# is the same byte for byte from one build to the next.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed)
foreach(source man/tavlo.1 man/tavlo-render.1 debian/changelog)
    get_filename_component(name ${source} NAME)
    set(gz ${CMAKE_CURRENT_BINARY_DIR}/data/${name}.gz)
    add_custom_command(OUTPUT ${gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/data
        COMMAND ${GZIP_EXECUTABLE} -9n -c ${data}/${source} > ${gz}
        DEPENDS ${data}/${source}
        COMMENT "Compressing ${source}"
        VERBATIM)
    list(APPEND compressed ${gz})
endforeach()
add_custom_target(tavlo_install_data ALL DEPENDS ${compressed})

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/data/tavlo.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/data/tavlo-render.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/data/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A package leaves the file-type and menu caches to dpkg's triggers; it is
# staged into DESTDIR, as is every install for packing. A plain install into a
# prefix brings that prefix's caches up to date itself, so that the file
# manager knows a set and opens it with Tavlo at once.
install(CODE "set(tavlo_datadir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
if("$ENV{DESTDIR}" STREQUAL "")
    if(NOT IS_ABSOLUTE "${tavlo_datadir}")
        set(tavlo_datadir "${CMAKE_INSTALL_PREFIX}/${tavlo_datadir}")
    endif()
    find_program(update_mime update-mime-database)
    find_program(update_desktop update-desktop-database)
    if(update_mime)
        execute_process(COMMAND ${update_mime} -n "${tavlo_datadir}/mime")
    endif()
    if(update_desktop)
        execute_process(COMMAND ${update_desktop} -q "${tavlo_datadir}/applications")
    endif()
endif()
]])
