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
# The tray's side, in a program of its own: the tray's units and the
# service's do not link into one program.
qv_add_test_program(qv_attack_tray_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/attacks/tray/test_attack_tray.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tray/FakeService.cpp
  LOCALE ru_RU.UTF-8 LIBS qvtray qvtray_res TIMEOUT 300)
target_include_directories(qv_attack_tray_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tray)
add_dependencies(qv_attack_tray_tests qv_languages)
