add_executable(pelmora-cli
    ${CMAKE_CURRENT_LIST_DIR}/Main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Args.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CardArgs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Json.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Terminal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmdBackup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmdCard.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmdCheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmdTimeline.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TimelineSvg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Cancel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DemoCard.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmdDisc.cpp
)
target_link_libraries(pelmora-cli PRIVATE pelmora_core pelmora_version)
install(TARGETS pelmora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
