# Included by tests/CMakeLists.txt.
# qv_forms_controls_tests: the control layer and the form frame in the test
# program itself (no service).
qv_add_test_program(qv_forms_controls_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/forms/test_controls.cpp
  LIBS qvtray qvtray_res TIMEOUT 300)
target_include_directories(qv_forms_controls_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray)
# qv_forms_settings_tests: the settings window and its pages in the test
# program, against a stand-in service that records every message.
qv_add_test_program(qv_forms_settings_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/forms/SettingsRecorder.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/forms/test_settings_window.cpp
  LIBS qvtray qvtray_res TIMEOUT 600)
target_include_directories(qv_forms_settings_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/forms)
add_dependencies(qv_forms_settings_tests qv_languages)

# The settings window of the running tray on its autorun page, kept as
# build/artifacts/settings-window.png.
add_test(NAME qv_forms_settings_screenshot
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/screenshots/screenshot-settings.sh ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(qv_forms_settings_screenshot PROPERTIES TIMEOUT 300)

# qv_forms_service_tests: the protection pages against the real service.
qv_add_test_program(qv_forms_service_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/forms/test_settings_service.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
target_include_directories(qv_forms_service_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service ${CMAKE_CURRENT_SOURCE_DIR}/tray)
add_dependencies(qv_forms_service_tests qv_test_helpers ServiceQuorvane qv_languages)
