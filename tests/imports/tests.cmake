# Included by tests/CMakeLists.txt.
# Neither shipped program may import a function that Windows XP lacks, in
# either build (the test command builds both before it runs the tests).
add_test(NAME qv_xp_imports COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/imports/check-imports.sh ${CMAKE_BINARY_DIR}/..)
