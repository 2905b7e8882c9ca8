# The programs a user copies to Windows: <build>/ship/ holds the two programs
# without their debug sections, with the language files beside them and in
# their "language\" folder; the debug sections go to <build>/symbols/ as
# <program>.debug, which a debugger finds through the link each program keeps.
# The tests run the full programs in <build>/bin/.
find_program(QV_OBJCOPY ${QV_MINGW_TRIPLE}-objcopy REQUIRED)
set(QV_SHIP_DIR ${CMAKE_BINARY_DIR}/ship)
set(QV_SYMBOLS_DIR ${CMAKE_BINARY_DIR}/symbols)

function(qv_ship_programs)
  set(outputs)
  foreach(target ${ARGN})
    set(shipped ${QV_SHIP_DIR}/${target}.exe)
    set(symbols ${QV_SYMBOLS_DIR}/${target}.debug)
    add_custom_command(OUTPUT ${shipped} ${symbols}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_SHIP_DIR} ${QV_SYMBOLS_DIR}
      COMMAND ${QV_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${symbols}
      COMMAND ${QV_OBJCOPY} --strip-debug --strip-unneeded --add-gnu-debuglink=${symbols}
              $<TARGET_FILE:${target}> ${shipped}
      DEPENDS ${target}
      COMMENT "Shipping ${target}.exe without its debug sections"
      VERBATIM)
    list(APPEND outputs ${shipped} ${symbols})
  endforeach()
  foreach(src ${QV_LANGUAGE_FILES})
    get_filename_component(name ${src} NAME)
    add_custom_command(OUTPUT ${QV_SHIP_DIR}/${name} ${QV_SHIP_DIR}/language/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_SHIP_DIR}/language
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/bin/${name} ${QV_SHIP_DIR}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/bin/${name} ${QV_SHIP_DIR}/language/${name}
      DEPENDS ${CMAKE_BINARY_DIR}/bin/${name}
      VERBATIM)
    list(APPEND outputs ${QV_SHIP_DIR}/${name} ${QV_SHIP_DIR}/language/${name})
  endforeach()
  add_custom_target(qv_ship ALL DEPENDS ${outputs})
  add_dependencies(qv_ship qv_languages)
endfunction()
