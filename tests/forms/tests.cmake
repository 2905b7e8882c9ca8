# Included by tests/CMakeLists.txt.
# qv_forms_controls_tests: the control layer and the form frame in the test
# program itself (no service).
qv_add_test_program(qv_forms_controls_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/forms/test_controls.cpp
  LIBS qvtray qvtray_res TIMEOUT 300)
target_include_directories(qv_forms_controls_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray)
