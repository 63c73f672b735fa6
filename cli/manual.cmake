# pelmora-cli's manual page, made from its own help (--help-all, --version) each time it is built, and
# its bash completion; `cmake --install` puts both where man and bash look for them.
option(PELMORA_MANUAL "Make pelmora-cli's manual page with help2man" ON)
if(PELMORA_MANUAL)
    find_program(HELP2MAN help2man)
    if(NOT HELP2MAN)
        message(FATAL_ERROR "help2man makes pelmora-cli's manual page: scripts/setup.sh installs it "
                            "(or configure with -DPELMORA_MANUAL=OFF)")
    endif()
    set(manual ${CMAKE_CURRENT_BINARY_DIR}/pelmora-cli.1)
    add_custom_command(OUTPUT ${manual}
        COMMAND ${HELP2MAN} --no-info --section=1 --help-option=--help-all --version-option=--version
                "--name=move audio between a PC and a recorder card, write audio CDs"
                "--source=Pelmora ${PROJECT_VERSION}" --manual=Pelmora
                --include=${CMAKE_CURRENT_LIST_DIR}/pelmora-cli.h2m --output=${manual}
                $<TARGET_FILE:pelmora-cli>
        DEPENDS pelmora-cli ${CMAKE_CURRENT_LIST_DIR}/pelmora-cli.h2m
        COMMENT "Making the manual page pelmora-cli.1"
        VERBATIM)
    add_custom_target(pelmora-cli-manual ALL DEPENDS ${manual})
    install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/pelmora-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME pelmora-cli COMPONENT cli)
