# Included by tests/CMakeLists.txt.
# End to end: the real service in the test prefix against a locker's moves.
file(GLOB QV_SCENARIO_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/scenario/*.cpp)
qv_add_test_program(qv_scenario_tests SOURCES ${QV_SCENARIO_TESTS} ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
                    LIBS qvservice TIMEOUT 900)
target_include_directories(qv_scenario_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_scenario_tests qv_test_helpers ServiceQuorvane)
