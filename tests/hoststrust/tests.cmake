# Included by tests/CMakeLists.txt.
# qv_hoststrust_logic_tests: what the hosts manager and the trust list do to
# texts and answers, without windows.
qv_add_test_program(qv_hoststrust_logic_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hoststrust/test_hosts_trust_logic.cpp
  LIBS qvtray)
