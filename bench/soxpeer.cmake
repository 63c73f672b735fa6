# One track rendered by the import job beside a sox pipeline of the same regions (whole-process timing).
add_executable(pelmora_bench_soxpeer ${CMAKE_CURRENT_LIST_DIR}/SoxPeerBench.cpp)
target_link_libraries(pelmora_bench_soxpeer PRIVATE pelmora_bench_support pelmora_card)
