# Included by tests/CMakeLists.txt.
# Pictures: decoded from the tray's resources (linked in) and from the files,
# copied beside the test program.
qv_add_test_program(qv_jpeg_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/jpeg/test_jpeg.cpp LIBS qvtray qvtray_res ntdll)
add_custom_command(TARGET qv_jpeg_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:qv_jpeg_tests>/pictures
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_PICTURES} $<TARGET_FILE_DIR:qv_jpeg_tests>/pictures)
