# Rendering a 16-track song through the import job, beside cp of the same bytes (whole-process timing).
add_executable(pelmora_bench_render ${CMAKE_CURRENT_LIST_DIR}/RenderBench.cpp)
target_link_libraries(pelmora_bench_render PRIVATE pelmora_bench_support pelmora_card)
