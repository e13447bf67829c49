# bench_find: kestrix_navdata find and link against info on a 200,000-packet
# recording, and kestrix_sim --replay at --speed 10.
add_executable(bench_find ${CMAKE_CURRENT_LIST_DIR}/bench_find.cpp)
target_link_libraries(bench_find PRIVATE kestrix_core)
set_target_properties(bench_find PROPERTIES AUTOMOC OFF)
target_compile_definitions(bench_find PRIVATE KESTRIX_NAVDATA_EXE="$<TARGET_FILE:kestrix_navdata>"
                                              KESTRIX_SIM_EXE="$<TARGET_FILE:kestrix_sim>")
add_dependencies(bench_find kestrix_navdata kestrix_sim)
