# Included by tests/CMakeLists.txt.
# The hosts guard and the protected system files (stand-ins in the prefix's
# system folder, signed ones from the build-time signature of the trust area).
file(GLOB QV_GUARD_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/guards/*.cpp)
qv_add_test_program(qv_guard_tests SOURCES ${QV_GUARD_TESTS} LIBS qvservice)
add_dependencies(qv_guard_tests qv_test_helpers qv_test_signature)
