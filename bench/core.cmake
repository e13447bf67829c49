# bench_core: decoder throughput against memcpy, noise skipping, a seek to the
# last record, loading a 200,000-packet recording (read, record index, peak
# memory), seeks through the index, and the CLI's csv export and info over it,
# each beside a sequential read of the same file; then a 4.6 GB recording.
add_executable(bench_core ${CMAKE_CURRENT_LIST_DIR}/bench_core.cpp)
target_link_libraries(bench_core PRIVATE kestrix_core benchmark::benchmark)
set_target_properties(bench_core PROPERTIES AUTOMOC OFF)
if(TARGET kestrix_navdata)
  target_compile_definitions(bench_core PRIVATE KESTRIX_NAVDATA_EXE="$<TARGET_FILE:kestrix_navdata>")
  # The command library in process too: the peak memory of info.
  target_link_libraries(bench_core PRIVATE kestrix_navdata_cli)
  add_dependencies(bench_core kestrix_navdata)
endif()
