# One track rendered by the import job beside a sox pipeline of the same regions (whole-process timing).
add_executable(SoxPeerBench ${CMAKE_CURRENT_LIST_DIR}/SoxPeerBench.cpp)
target_link_libraries(SoxPeerBench PRIVATE pelmora_card)
