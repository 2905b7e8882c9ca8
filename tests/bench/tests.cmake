# Included by tests/CMakeLists.txt.
# Benchmark programs: built with the tests, run by scripts (not CTest entries).
file(GLOB QV_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cpp)
foreach(src ${QV_BENCH_SOURCES})
  get_filename_component(bench ${src} NAME_WE)
  add_executable(${bench} ${src})
  target_link_libraries(${bench} PRIVATE qvtestsupport qvservice)
endforeach()
# The killer benchmark starts copies of the waiting helper.
target_include_directories(qv_killer_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/killer)
add_dependencies(qv_killer_bench qv_test_helpers)
# The tray receiver's benchmark runs the tray's own receiver.
target_link_libraries(bench_tray_receiver PRIVATE qvtray qvtray_res)
target_include_directories(bench_tray_receiver PRIVATE ${CMAKE_SOURCE_DIR}/tray/forms)
