# Compiles every exported header alone, as C11 and as C++17, with the
# project's warnings. Run as: cmake -D... -P checkHeaders.cmake
file(GLOB headers ${INCLUDE_DIR}/ixo/*.h)
file(MAKE_DIRECTORY ${WORK_DIR})
set(failed "")
foreach(header ${headers})
  get_filename_component(name ${header} NAME_WE)
  # The typedef keeps a header without declarations of its own from being an
  # empty translation unit.
  file(WRITE ${WORK_DIR}/${name}.c "#include \"ixo/${name}.h\"\ntypedef int header_check_${name};\n")
  file(WRITE ${WORK_DIR}/${name}.cpp "#include \"ixo/${name}.h\"\ntypedef int header_check_${name};\n")
  foreach(pair "${C_COMPILER};-std=c11;${name}.c" "${CXX_COMPILER};-std=c++17;${name}.cpp")
    list(GET pair 0 compiler)
    list(GET pair 1 standard)
    list(GET pair 2 source)
    execute_process(
      COMMAND ${compiler} ${standard} ${EXTRA_FLAGS} -Wall -Wextra -Werror -pedantic -fsyntax-only
              -I${INCLUDE_DIR} ${WORK_DIR}/${source}
      RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(SEND_ERROR "ixo/${name}.h does not compile alone (${standard}):\n${output}")
      list(APPEND failed ${name})
    endif()
  endforeach()
endforeach()
if(failed)
  message(FATAL_ERROR "headers that do not stand alone: ${failed}")
endif()
list(LENGTH headers count)
message(STATUS "${count} headers compile alone as C11 and C++17")
