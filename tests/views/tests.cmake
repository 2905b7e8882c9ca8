# Included by tests/CMakeLists.txt.
# qv_views_tests: the status window, the event report and its properties,
# the splash, the browser and the internet check, in the test program itself.
qv_add_test_program(qv_views_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/views/test_view_logic.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/views/test_internet.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/views/test_view_windows.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/views/test_report.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/views/test_status.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/views/SwitchService.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res ws2_32 TIMEOUT 600)
target_include_directories(qv_views_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_views_tests qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)

# qv_explorer_show_tests: showing a file in Explorer, apart from the windows
# above (under Wine the desktop may close after the programs it starts).
qv_add_test_program(qv_explorer_show_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/views/test_explorer_show.cpp
  LIBS qvtray TIMEOUT 600)
add_dependencies(qv_explorer_show_tests qv_test_helpers)

# The report window listing a large report from the running service
# (scripts/bench/bench-report.sh runs it).
add_executable(bench_report ${CMAKE_CURRENT_SOURCE_DIR}/views/bench_report.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp)
target_include_directories(bench_report PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray ${CMAKE_CURRENT_SOURCE_DIR}/service)
target_link_libraries(bench_report PRIVATE qvtestsupport qvtray qvtray_res)
add_dependencies(bench_report ServiceQuorvane qv_languages)

# qv_report_tests: the report window against the real service, with the
# receiver and the hidden window in the test program.
qv_add_test_program(qv_report_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/views/test_report_service.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
target_include_directories(qv_report_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_report_tests qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)

# qv_splash_tests: QuorvaneTray.exe as a program showing its splash at start.
qv_add_test_program(qv_splash_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/views/test_splash_start.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
target_include_directories(qv_splash_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_splash_tests ServiceQuorvane QuorvaneTray qv_languages)
