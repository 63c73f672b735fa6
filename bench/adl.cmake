# Opening a 5000-entry ADL file: our reader beside a byte-per-read(2) reference.
add_executable(pelmora_bench_adl ${CMAKE_CURRENT_LIST_DIR}/AdlOpenBench.cpp)
target_link_libraries(pelmora_bench_adl PRIVATE pelmora_adl benchmark::benchmark)
