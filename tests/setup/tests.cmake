# Included by tests/CMakeLists.txt.
# qv_setup_logic_tests: the decisions behind the first-run wizard, the
# password dialog, the language choice and the about page's puzzle.
qv_add_test_program(qv_setup_logic_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setup/test_setup_logic.cpp
  LIBS qvtray qvtray_res TIMEOUT 300)
