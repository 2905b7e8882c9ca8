# Included by tests/CMakeLists.txt.
file(GLOB QV_COMMON_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/common/*.cpp)
qv_add_test_program(qv_common_tests SOURCES ${QV_COMMON_TESTS})
add_dependencies(qv_common_tests qv_test_helpers)
