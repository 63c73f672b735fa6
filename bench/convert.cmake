# Exporting 16 tracks of 24-bit 44.1 kHz stereo into a 48 kHz song with conversion, beside sox doing the
# same conversion of the same files (whole-process timing).
add_executable(pelmora_bench_convert ${CMAKE_CURRENT_LIST_DIR}/ConvertBench.cpp)
target_link_libraries(pelmora_bench_convert PRIVATE pelmora_bench_support pelmora_card)
