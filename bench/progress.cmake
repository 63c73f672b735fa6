# The import and the export behind the progress dialog and a page window, beside the same jobs with no
# window (offscreen Qt).
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(pelmora_bench_progress ${CMAKE_CURRENT_LIST_DIR}/ProgressBench.cpp)
target_link_libraries(pelmora_bench_progress PRIVATE pelmora_bench_support pelmora_gui pelmora_card)
