# Included by tests/CMakeLists.txt.
file(GLOB QV_SERVICE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/service/*.cpp)
qv_add_test_program(qv_service_tests SOURCES ${QV_SERVICE_TESTS} LIBS qvservice TIMEOUT 900)
add_dependencies(qv_service_tests qv_test_helpers ServiceQuorvane)
