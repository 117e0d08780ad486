# quillon_add_test(NAME name SOURCES ... LIBS ... [LABELS ...])
# Test executables live outside the program folder so the runtime tree stays clean.
function(quillon_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUILLON_TEST_BIN_DIR})
  target_compile_definitions(${T_NAME} PRIVATE
    QUILLON_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUILLON_BINARY_DIR="${CMAKE_BINARY_DIR}"
    QUILLON_PROGRAM_DIR_BUILD="${QUILLON_PROGRAM_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "QT_QPA_PLATFORM=offscreen;QUILLON_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUILLON_BUILD_PROGRAM_DIR=${QUILLON_PROGRAM_DIR}")
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  # Tests run against the staged runtime tree (data files, tools).
  add_dependencies(${T_NAME} quillon_stage)
endfunction()
