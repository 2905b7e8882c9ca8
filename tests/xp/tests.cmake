# Included by tests/CMakeLists.txt.
# The installed service in a prefix that Wine presents as Windows XP: the
# guards that exist only before Windows Vista, end to end.
file(GLOB QV_XP_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/xp/*.cpp)
qv_add_test_program(qv_xp_tests SOURCES ${QV_XP_TESTS} ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
                    ${CMAKE_CURRENT_SOURCE_DIR}/scenario/ScenarioSupport.cpp LIBS qvservice TIMEOUT 600)
target_include_directories(qv_xp_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service ${CMAKE_CURRENT_SOURCE_DIR}/scenario)
add_dependencies(qv_xp_tests qv_test_helpers qv_test_signature ServiceQuorvane)
