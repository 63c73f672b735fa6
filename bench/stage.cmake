# Staging and "burning" a 74-minute disc through the disc-image recorder, beside cp of the same bytes.
add_executable(pelmora_bench_stage ${CMAKE_CURRENT_LIST_DIR}/StageBench.cpp)
target_link_libraries(pelmora_bench_stage PRIVATE pelmora_bench_support pelmora_cdwriter)
