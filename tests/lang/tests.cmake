# Included by tests/CMakeLists.txt.
# Both language files hold every key the system looks up, in its section, and
# the Russian one converts to code page 1251 without loss.
add_test(NAME qv_language_files COMMAND bash ${CMAKE_SOURCE_DIR}/tests/lang/check-lang.sh ${CMAKE_SOURCE_DIR})
