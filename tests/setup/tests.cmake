# Included by tests/CMakeLists.txt.
# qv_setup_logic_tests: the decisions behind the first-run wizard, the
# password dialog, the language choice and the about page's puzzle.
qv_add_test_program(qv_setup_logic_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setup/test_setup_logic.cpp
  LIBS qvtray qvtray_res TIMEOUT 300)
# qv_setup_window_tests: the wizard, the password dialog and the network,
# update, language and about pages driven by messages, with a stand-in
# service that keeps the settings and records the commands.
qv_add_test_program(qv_setup_window_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setup/test_setup_windows.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/setup/StandInService.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
target_include_directories(qv_setup_window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/setup
  ${CMAKE_CURRENT_SOURCE_DIR}/tray ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_setup_window_tests qv_test_helpers ServiceQuorvane qv_languages)
# qv_setup_service_tests: the first run end to end with the real service.
qv_add_test_program(qv_setup_service_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setup/test_first_run.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 900)
target_include_directories(qv_setup_service_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray
  ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_setup_service_tests qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)
# qv_setup_language_tests: the language change end to end with the real
# service and the tray program it starts and restarts.
qv_add_test_program(qv_setup_language_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setup/test_language_round_trip.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 900)
target_include_directories(qv_setup_language_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_setup_language_tests qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)

# The about (with its puzzle), update, language and network pages in the
# settings window of the running tray, kept as build/artifacts/settings-page-N.png.
add_test(NAME qv_setup_screenshot
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/screenshots/screenshot-setup.sh ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(qv_setup_screenshot PROPERTIES TIMEOUT 300)
