# amp_install_manpage(<page>.<section>)
# Installs a manual page from the current source folder, with the project's
# version filled in (@PROJECT_VERSION@), gzipped -9n as Debian wants it (no
# name or time stamp in the gzip header), to share/man/man<section>.
function(amp_install_manpage page)
    string(REGEX MATCH "[0-9]$" section "${page}")
    configure_file(${page} ${page} @ONLY)
    execute_process(COMMAND gzip -9nc ${page} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                    OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
