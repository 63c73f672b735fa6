# Opening the song view of a 16 x 10 min song with warm peaks, and one frame at each end of the zoom
# (offscreen Qt).
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(pelmora_bench_songview ${CMAKE_CURRENT_LIST_DIR}/SongViewBench.cpp)
target_link_libraries(pelmora_bench_songview PRIVATE pelmora_bench_support pelmora_gui pelmora_card benchmark::benchmark)
