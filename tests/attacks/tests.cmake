# Included by tests/CMakeLists.txt.
# Attacks a local user could make on the installed service (held reply slots,
# floods, crafted data files, links, huge files): each must fail. One program,
# its cases spread over the files of this folder.
file(GLOB QV_ATTACK_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/attacks/*.cpp)
if(QV_ATTACK_TESTS)
  qv_add_test_program(qv_attack_tests SOURCES ${QV_ATTACK_TESTS} ${CMAKE_CURRENT_SOURCE_DIR}/service/ServiceHarness.cpp
                      LIBS qvservice TIMEOUT 900)
  target_include_directories(qv_attack_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/service)
  add_dependencies(qv_attack_tests qv_test_helpers ServiceQuorvane)
endif()
