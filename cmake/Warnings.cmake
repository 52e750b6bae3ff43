# verno_target_defaults(<target>): warnings, optional -Werror and sanitizers for our own code.
function(verno_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion)
  if(VERNO_WERROR)
    # GCC 12 reports std::optional members as maybe-uninitialized at -O2 where they are not.
    target_compile_options(${target} PRIVATE -Werror -Wno-error=maybe-uninitialized)
  endif()
endfunction()

# verno_add_library(<name> SOURCES ... LIBS ...): one layer's static library; its users include
# headers by their path from the project root.
function(verno_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
  verno_target_defaults(${name})
endfunction()

# verno_add_program(<name> SOURCES ... LIBS ...): a program of the bundle.
function(verno_add_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  verno_target_defaults(${name})
endfunction()

if(VERNO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# verno_add_test(<name> SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
function(verno_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  verno_target_defaults(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${T_PROPERTIES})
endfunction()
