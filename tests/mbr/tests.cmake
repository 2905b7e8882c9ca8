# Included by tests/CMakeLists.txt.
# The MBR guard, only ever against the disk image of its own prefix.
file(GLOB QV_MBR_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/mbr/*.cpp)
qv_add_test_program(qv_mbr_tests SOURCES ${QV_MBR_TESTS} LIBS qvservice)
