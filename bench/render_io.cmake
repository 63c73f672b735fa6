# Rendering through the import job against a read()/write() copy of the same bytes, and a 5000-entry song
# against a 48-entry song with the same audio (whole-render timing, ratios within each round).
add_executable(pelmora_bench_render_io ${CMAKE_CURRENT_LIST_DIR}/RenderIoBench.cpp)
target_link_libraries(pelmora_bench_render_io PRIVATE pelmora_card)
