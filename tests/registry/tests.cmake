# Included by tests/CMakeLists.txt.
file(GLOB QV_REGISTRY_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/registry/*.cpp)
qv_add_test_program(qv_registry_tests SOURCES ${QV_REGISTRY_TESTS})
