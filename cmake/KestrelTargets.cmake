# Helpers that give every Kestrel target the same language level and warnings.

# Floating-point steps are specified to the bit: no contraction into fused multiply-adds and no
# fast-math, whatever the compiler's default.
set(KESTREL_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wshadow)
set(KESTREL_FP_FLAGS -ffp-contract=off -fno-fast-math)

function(kestrel_target_options target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE ${KESTREL_WARNINGS} ${KESTREL_FP_FLAGS})
endfunction()

# kestrel_library(name SOURCES ... DEPS ...): a layer's library; its headers are included as
# "analysis/fft.h", "capture/ring.h" and so on, from src/.
function(kestrel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  kestrel_target_options(${name})
endfunction()

# kestrel_test(name SOURCES ... DEPS ...): one GoogleTest executable, registered with CTest.
function(kestrel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  kestrel_target_options(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "KESTREL_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output")
endfunction()
