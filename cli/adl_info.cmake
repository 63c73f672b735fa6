# pelmora-adl-info: a summary of one ADL file (the README's demo command).
add_executable(pelmora-adl-info ${CMAKE_CURRENT_LIST_DIR}/AdlInfo.cpp)
target_link_libraries(pelmora-adl-info PRIVATE pelmora_adl)
