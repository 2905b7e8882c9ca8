# Included by tests/CMakeLists.txt.
# qv_tray_tests: the tray's units in the test program itself (service client,
# language texts, hidden window and receiver) against the real service.
# qv_tray_program_tests: QuorvaneTray.exe as a program (switches with the
# service manager, start-up, the icon and menu in Wine's desktop).
set(QV_TRAY_TEST_SUPPORT
  ${CMAKE_CURRENT_SOURCE_DIR}/tray/TrayTestSupport.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp)
qv_add_test_program(qv_tray_tests
  SOURCES ${QV_TRAY_TEST_SUPPORT}
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_tray_lang.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_service_client.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_tray_window.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
qv_add_test_program(qv_tray_program_tests
  SOURCES ${QV_TRAY_TEST_SUPPORT}
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_tray_program.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
# qv_tray_popup_tests: the pop-up window, the form manager, the gesture
# thread and the trust list's answers in the test program, with a stand-in
# service.
qv_add_test_program(qv_tray_popup_tests
  SOURCES ${QV_TRAY_TEST_SUPPORT}
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/FakeService.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_popup_rules.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_popup_window.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_trust_answers.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
# qv_tray_killer_tests: the killer end to end with the real service and the
# tray in Wine's desktop (a prefix of its own: the killer ends processes).
qv_add_test_program(qv_tray_killer_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tray/test_killer_round_trip.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 600)
foreach(t qv_tray_tests qv_tray_program_tests qv_tray_popup_tests qv_tray_killer_tests)
  target_include_directories(${t} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service ${CMAKE_CURRENT_SOURCE_DIR}/tray)
  add_dependencies(${t} qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)
endforeach()

# Every key the tray's code looks up is in both shipped language files.
add_test(NAME qv_tray_language_keys
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/lang/check-lang-code.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/bin)

# The desktop with the tray icon and its open menu, kept as
# build/artifacts/tray-menu.png.
add_test(NAME qv_tray_screenshot
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/screenshots/screenshot-tray.sh ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(qv_tray_screenshot PROPERTIES TIMEOUT 300)

# Three pop-ups stacked above the taskbar of Wine's desktop, kept as
# build/artifacts/tray-popups.png.
add_test(NAME qv_tray_popup_screenshot
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/screenshots/screenshot-popups.sh ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(qv_tray_popup_screenshot PROPERTIES TIMEOUT 300)
