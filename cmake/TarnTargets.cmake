# Helpers that keep every subsystem's CMakeLists short and alike.

# tarn_library(NAME SOURCES ... [DEPS ...] [QT])
#   A static library for one layer or subsystem, with src/ as its include root.
function(tarn_library name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  if(ARG_QT)
    target_link_libraries(${name} PUBLIC Qt6::Core Qt6::Gui Qt6::Widgets)
  endif()
endfunction()

# tarn_test(NAME SOURCES ... [DEPS ...] [QT])
#   One GoogleTest executable; every test case becomes a ctest entry, so that ctest -j runs
#   them in parallel. Qt tests run under the offscreen platform.
function(tarn_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tarn_test_support GTest::gtest GTest::gmock)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE tarn_test_support_qt Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE TARN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             TARN_ASSETS_DIR="${PROJECT_SOURCE_DIR}/assets")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TARN_TEST=1"
                                  TIMEOUT 300)
endfunction()

# tarn_fuzz(NAME SOURCES ... [DEPS ...])
#   A libFuzzer target; fuzz/corpus/NAME holds its seeds.
function(tarn_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()
