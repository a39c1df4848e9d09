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
  # Tests that show windows share one display: never two at a time, so
  # focus and the windows they look for are their own.
  if(T_GUI)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display LABELS "wine;gui")
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
