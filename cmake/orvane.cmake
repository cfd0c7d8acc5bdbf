# Helpers shared by every folder.
#
#   ov_add_gtest(NAME SOURCES a.cpp ... LIBS lib ... [X11] [TIMEOUT s])
#     A GoogleTest program registered with ctest. Tests run with QT_QPA_PLATFORM=offscreen;
#     X11 tests get the Xvfb display that scripts/test.sh starts (DISPLAY) and are labelled x11.
#   ov_add_bench(NAME SOURCES ../../bench/x_bench.cpp ... LIBS ...)
#     A Google Benchmark program; built, never run by ctest.
#   ov_add_fuzz(NAME SOURCES ... LIBS ...)
#     A libFuzzer target; only built when the compiler is clang (-DOV_FUZZ=ON).

option(OV_FUZZ "Build libFuzzer targets (clang only)" OFF)

function(ov_add_gtest name)
  cmake_parse_arguments(T "X11" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Two of ctest's slots, as scripts/test.sh gives two a core: a journey that only waits on the
  # clock takes one (e2e/CMakeLists.txt).
  set(props TIMEOUT ${T_TIMEOUT} PROCESSORS 2)
  # Nobody answers a prompt in a test run: one that no scripted host expects ends the test with its
  # text instead of hanging until the time-out.
  if(T_X11)
    # X11 tests share one display, its keyboard, pointer and focus: one at a time.
    list(APPEND props LABELS x11 RESOURCE_LOCK x11_display ENVIRONMENT "OV_UNATTENDED=1")
  else()
    list(APPEND props ENVIRONMENT "QT_QPA_PLATFORM=offscreen;OV_UNATTENDED=1")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

function(ov_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT benchmark_FOUND)
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

function(ov_add_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT OV_FUZZ OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
