# Building a song's peaks (with the cache) against reading the same bytes.
add_executable(pelmora_bench_peaks ${CMAKE_CURRENT_LIST_DIR}/PeaksBench.cpp)
target_link_libraries(pelmora_bench_peaks PRIVATE pelmora_bench_support pelmora_card benchmark::benchmark)
