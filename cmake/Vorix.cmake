# One static library per folder: every .cpp below the folder except those
# under tests/ and bench/. Tests of the folder become one GoogleTest
# executable whose cases carry the folder's CTest label.
function(vorix_library name)
  cmake_parse_arguments(V "" "LABEL" "DEPS;EXCLUDE" ${ARGN})
  if(NOT V_LABEL)
    set(V_LABEL ${name})
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/(tests|bench)/")
  foreach(pattern ${V_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "${pattern}")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} ${scope} ${V_DEPS} Threads::Threads)

  file(GLOB tsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tsrcs)
    add_executable(${name}_tests ${tsrcs})
    target_link_libraries(${name}_tests PRIVATE ${name} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name}_tests PRIVATE
      VORIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      VORIX_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name}_tests
      DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS ${V_LABEL} TIMEOUT 120)
  endif()

  file(GLOB bsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cpp)
  if(bsrcs AND VORIX_BENCH)
    find_package(benchmark REQUIRED)
    foreach(b ${bsrcs})
      get_filename_component(bname ${b} NAME_WE)
      add_executable(${name}_bench_${bname} ${b})
      target_link_libraries(${name}_bench_${bname} PRIVATE ${name} benchmark::benchmark)
    endforeach()
  endif()
endfunction()
