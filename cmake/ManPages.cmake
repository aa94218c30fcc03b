# Manual pages are written in scdoc and built into gzip-compressed roff pages
# under share/man/manN. The build tree keeps them uncompressed too, so that
# `man -l build/man/adtest.1` shows one without installing.
option(ADTEST_MAN_PAGES "Build and install the manual pages (needs scdoc)" ${ADTEST_GUI})

if(ADTEST_MAN_PAGES)
    find_program(ADTEST_SCDOC scdoc)
    find_program(ADTEST_GZIP gzip)
    if(NOT ADTEST_SCDOC OR NOT ADTEST_GZIP)
        message(FATAL_ERROR "The manual pages need scdoc and gzip (apt-get install scdoc gzip); "
                            "or configure with -DADTEST_MAN_PAGES=OFF.")
    endif()
    add_custom_target(man_pages ALL)
endif()

# adtest_add_man_page(<name>.<section>.scd): builds and installs that page.
# @PROJECT_VERSION@ in the source becomes the version.
function(adtest_add_man_page source)
    if(NOT ADTEST_MAN_PAGES)
        return()
    endif()
    if(NOT source MATCHES "^(([^/]+)\\.([1-9]))\\.scd$")
        message(FATAL_ERROR "adtest_add_man_page: ${source} is not named <name>.<section>.scd")
    endif()
    set(page ${CMAKE_MATCH_1})
    set(section ${CMAKE_MATCH_3})
    set(directory ${CMAKE_BINARY_DIR}/man)
    configure_file(${source} ${directory}/${source} @ONLY)
    # -n leaves the time stamp out of the archive, so rebuilds are identical.
    add_custom_command(
        OUTPUT ${directory}/${page} ${directory}/${page}.gz
        COMMAND ${ADTEST_SCDOC} < ${source} > ${page}
        COMMAND ${ADTEST_GZIP} -9 -n -c ${page} > ${page}.gz
        DEPENDS ${directory}/${source}
        WORKING_DIRECTORY ${directory}
        COMMENT "Building manual page ${page}"
        VERBATIM)
    add_custom_target(man_${page} DEPENDS ${directory}/${page}.gz)
    add_dependencies(man_pages man_${page})
    install(FILES ${directory}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
