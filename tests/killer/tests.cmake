# Included by tests/CMakeLists.txt.
file(GLOB QV_KILLER_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/killer/*.cpp)
qv_add_test_program(qv_killer_tests SOURCES ${QV_KILLER_TESTS} LIBS qvservice TIMEOUT 900)
add_dependencies(qv_killer_tests qv_test_helpers)
