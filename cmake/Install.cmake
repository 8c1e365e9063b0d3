# What `cmake --install` puts where. Installed, both programs find their shipped files in share/mailferry beside
# their bin folder (platform/shipped_files.h), so the tree runs the same from /usr, /usr/local or a staging folder.
include(GNUInstallDirs)

set(MF_APP_ID org.mailferry.Mailferry)
set(MF_SHIPPED_DIR ${CMAKE_INSTALL_DATADIR}/mailferry)
set(MF_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/mailferry)

install(TARGETS mailferry RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/share/defaults.ini DESTINATION ${MF_SHIPPED_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/share/archive-package DESTINATION ${MF_SHIPPED_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/share/bash-completion/mailferry
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Debian keeps manual pages and changelogs compressed, without a time stamp that would change the bytes.
function(mf_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9n -c ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()
foreach(page IN ITEMS mailferry mailferry-gui)
    mf_gzip(${CMAKE_SOURCE_DIR}/share/man/${page}.1 ${CMAKE_BINARY_DIR}/share/${page}.1.gz)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/share/doc/changelog.in ${CMAKE_BINARY_DIR}/share/changelog @ONLY)
mf_gzip(${CMAKE_BINARY_DIR}/share/changelog ${CMAKE_BINARY_DIR}/share/changelog.gz)
add_custom_target(mf_compressed_docs ALL
    DEPENDS ${CMAKE_BINARY_DIR}/share/mailferry.1.gz ${CMAKE_BINARY_DIR}/share/mailferry-gui.1.gz
        ${CMAKE_BINARY_DIR}/share/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/share/mailferry.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/share/doc/copyright ${CMAKE_BINARY_DIR}/share/changelog.gz
    DESTINATION ${MF_DOC_DIR})

# The desktop program, its entry, metadata and icon, its window images and its guides: each rule switches on
# once the front end's build provides what it installs.
if(TARGET mailferry-gui)
    install(TARGETS mailferry-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_BINARY_DIR}/share/mailferry-gui.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_SOURCE_DIR}/share/applications/${MF_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_SOURCE_DIR}/share/metainfo/${MF_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${CMAKE_SOURCE_DIR}/share/icons/hicolor/scalable/apps/${MF_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
file(GLOB MF_WINDOW_IMAGES ${CMAKE_SOURCE_DIR}/share/icons/*.svg)
if(MF_WINDOW_IMAGES)
    install(FILES ${MF_WINDOW_IMAGES} DESTINATION ${MF_SHIPPED_DIR}/icons)
endif()
# The build of the guide PDFs names them in this global property.
get_property(MF_GUIDE_PDFS GLOBAL PROPERTY MF_GUIDE_PDFS)
if(MF_GUIDE_PDFS)
    install(FILES ${MF_GUIDE_PDFS} DESTINATION ${MF_SHIPPED_DIR}/guides)
endif()
