# bench_link: the navdata hand-off (queue push/pop, draining a backlog through
# the handler on the user-interface thread) and the sustained receive rate over
# loopback with a sender thread at full speed.
if(TARGET kestrix_link)
  add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
  target_include_directories(bench_link PRIVATE ${PROJECT_SOURCE_DIR}/link/src)
  target_link_libraries(bench_link PRIVATE kestrix_link benchmark::benchmark)
endif()
