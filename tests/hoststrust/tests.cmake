# Included by tests/CMakeLists.txt.
# qv_hoststrust_logic_tests: what the hosts manager and the trust list do to
# texts and answers, without windows.
qv_add_test_program(qv_hoststrust_logic_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hoststrust/test_hosts_trust_logic.cpp
  LIBS qvtray)
# qv_hoststrust_tests: the hosts manager, the trust list and the new-autorun
# dialog with the tray's receiver in the test program and the real service.
# They leave pictures of the windows as build/artifacts/*.png.
qv_add_test_program(qv_hoststrust_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/hoststrust/test_hosts_trust_windows.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
target_include_directories(qv_hoststrust_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service ${CMAKE_CURRENT_SOURCE_DIR}/tray)
add_dependencies(qv_hoststrust_tests qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)
set_tests_properties(qv_hoststrust_tests PROPERTIES FIXTURES_SETUP qv_hoststrust_pictures)
# The pictures as PNG files, each checked to be more than a blank rectangle.
add_test(NAME qv_hoststrust_screenshots
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/screenshots/screenshot-hoststrust.sh ${CMAKE_BINARY_DIR}/../artifacts)
set_tests_properties(qv_hoststrust_screenshots PROPERTIES FIXTURES_REQUIRED qv_hoststrust_pictures)

# The hosts manager's reload of a large hosts file (scripts/bench/bench-hosts.sh).
add_executable(bench_hosts_reload ${CMAKE_CURRENT_SOURCE_DIR}/hoststrust/bench_hosts_reload.cpp)
target_link_libraries(bench_hosts_reload PRIVATE qvtray qvtray_res)
