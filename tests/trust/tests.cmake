# Included by tests/CMakeLists.txt.
target_link_libraries(qv_addroot PRIVATE crypt32)

# Signature tests: a copy of a helper signed at build time with a throw-away
# certificate chain (made anew, kept in the build folder only).
set(QV_SIGNED_EXE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/qv_signed.exe)
set(QV_TEST_ROOT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/qv_testroot.cer)
add_custom_command(OUTPUT ${QV_SIGNED_EXE} ${QV_TEST_ROOT}
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/make-test-signature.sh $<TARGET_FILE:qv_waiter> ${QV_SIGNED_EXE}
          ${QV_TEST_ROOT} ${CMAKE_CURRENT_BINARY_DIR}/signing
  DEPENDS qv_waiter ${CMAKE_SOURCE_DIR}/scripts/make-test-signature.sh
  COMMENT "Signing a test program with a throw-away certificate chain")
add_custom_target(qv_test_signature DEPENDS ${QV_SIGNED_EXE} ${QV_TEST_ROOT})

file(GLOB QV_TRUST_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/trust/*.cpp)
qv_add_test_program(qv_trust_tests SOURCES ${QV_TRUST_TESTS} LIBS qvservice)
add_dependencies(qv_trust_tests qv_test_helpers qv_test_signature)
