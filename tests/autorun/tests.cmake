# Included by tests/CMakeLists.txt.
file(GLOB QV_AUTORUN_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/autorun/*.cpp)
qv_add_test_program(qv_autorun_tests SOURCES ${QV_AUTORUN_TESTS} LIBS qvservice TIMEOUT 900)
target_include_directories(qv_autorun_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/killer)
add_dependencies(qv_autorun_tests qv_test_helpers qv_test_signature)
