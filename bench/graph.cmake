# bench_graph: "Draw Graph" and one full repaint over a 200,000-packet
# recording with 10 fields, and live plotting from kestrix_sim at 2000
# datagrams a second. Uses the window tests' support (simulator process,
# port lock), so it is built with the tests.
if(TARGET kestrix_gui_test_support)
  add_executable(bench_graph ${CMAKE_CURRENT_LIST_DIR}/bench_graph.cpp)
  target_include_directories(bench_graph PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui)
  target_link_libraries(bench_graph PRIVATE kestrix_gui_test_support kestrix_gui kestrix_navdata_cli benchmark::benchmark)
  add_dependencies(bench_graph kestrix_sim)
endif()
