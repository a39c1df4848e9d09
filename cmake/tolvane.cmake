# tolvane_test(NAME [GUI] SOURCES... LIBS libs...): a GoogleTest binary registered
# with CTest. In the Windows builds CTest runs it through the cross-compiling
# emulator (scripts/wine-exec.sh), so the same sources run natively and
# under Wine.
function(tolvane_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES LABELS wine)
  endif()
  # Tests that show windows each run on a desktop of their own, a fresh
  # copy of a prepared Wine prefix with its own Xvfb (scripts/wine-exec.sh),
  # so they run beside each other: focus, the windows they look for and the
  # prefix's registry and folders are their own. They mostly wait for
  # windows, so they start before the unit tests (CTest starts the costliest
  # first) and the long ones give their own cost.
  if(T_GUI)
    set_tests_properties(${name} PROPERTIES LABELS "wine;gui" COST 30)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT TOLVANE_OWN_DESKTOP=1)
  endif()
endfunction()

function(tolvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# tolvane_shipped(target): a program or library the publisher ships. Its link
# writes a map of what each input put into the file (map/TARGET.map in the
# build tree, which scripts/size-report.sh reads), the shipping build type
# strips it as it links, so that bin/ holds the files as they ship, and it
# gets our own handler for uncaught exceptions (platform/core/terminate_win.cpp).
function(tolvane_shipped target)
  if(WIN32)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/map)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/platform/core/terminate_win.cpp)
    target_link_options(${target} PRIVATE -Wl,-Map,${CMAKE_BINARY_DIR}/map/${target}.map $<$<CONFIG:MinSizeRel>:-s>)
  endif()
endfunction()

# The target "programs": every program and library the project ships or the
# publisher runs, without the tests and their helpers. The shipping build
# cannot run its tests, so the test command builds only this there, which
# still compiles and links all shipped code.
add_custom_target(programs)
function(tolvane_programs_target)
  foreach(program smooth setup uninstall bundle_stub zbk tolvane pebble)
    if(TARGET ${program})
      add_dependencies(programs ${program})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tolvane_programs_target)
