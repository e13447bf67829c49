# bench_navdata: the NavData window on a 200,000-packet recording: load, a
# navigation step with the field texts written, the seek alone, the Find
# tool's search against `kestrix_navdata info`.
add_executable(bench_navdata ${CMAKE_CURRENT_LIST_DIR}/bench_navdata.cpp)
target_link_libraries(bench_navdata PRIVATE kestrix_gui benchmark::benchmark)
target_compile_definitions(bench_navdata PRIVATE KESTRIX_NAVDATA_EXE="$<TARGET_FILE:kestrix_navdata>")
add_dependencies(bench_navdata kestrix_navdata)
