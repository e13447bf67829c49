# bench_navdata: the NavData window on a 200,000-packet recording: load, a
# navigation step with the field texts written, the seek alone.
add_executable(bench_navdata ${CMAKE_CURRENT_LIST_DIR}/bench_navdata.cpp)
target_link_libraries(bench_navdata PRIVATE kestrix_gui benchmark::benchmark)
