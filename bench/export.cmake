# Exporting 16 tracks of 3 minutes into a song, beside cp (and cp plus fsync) of the same files.
add_executable(pelmora_bench_export ${CMAKE_CURRENT_LIST_DIR}/ExportBench.cpp)
target_link_libraries(pelmora_bench_export PRIVATE pelmora_bench_support pelmora_card benchmark::benchmark)
