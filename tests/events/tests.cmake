# Included by tests/CMakeLists.txt.
file(GLOB QV_EVENT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/events/*.cpp)
qv_add_test_program(qv_events_tests SOURCES ${QV_EVENT_TESTS} LIBS qvservice)
