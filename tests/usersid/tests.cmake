# Included by tests/CMakeLists.txt.
# The console user: the service keeps the tray running for that user, and the
# per-user guards under HKEY_USERS\<SID>.
file(GLOB QV_USERSID_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/usersid/*.cpp)
qv_add_test_program(qv_usersid_tests
  SOURCES ${QV_USERSID_TESTS} ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
  LIBS qvservice TIMEOUT 900)
target_include_directories(qv_usersid_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service)
add_dependencies(qv_usersid_tests qv_test_helpers ServiceQuorvane QuorvaneTray qv_languages)
