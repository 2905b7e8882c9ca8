# Included by tests/CMakeLists.txt. Benchmarks: plain programs, no CTest entries.
# Run one with scripts/wine-exec.sh (QV_PREFIX_NAME picks its prefix).
add_executable(qv_killer_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/qv_killer_bench.cpp)
target_include_directories(qv_killer_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/killer)
target_link_libraries(qv_killer_bench PRIVATE qvtestsupport qvservice)
add_dependencies(qv_killer_bench qv_test_helpers)
