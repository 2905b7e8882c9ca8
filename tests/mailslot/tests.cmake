# Included by tests/CMakeLists.txt.
file(GLOB QV_MAILSLOT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/mailslot/*.cpp)
qv_add_test_program(qv_mailslot_tests SOURCES ${QV_MAILSLOT_TESTS})
add_dependencies(qv_mailslot_tests qv_test_helpers)
