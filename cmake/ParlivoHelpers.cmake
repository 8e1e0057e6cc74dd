# parlivo_layer(NAME DIR INCLUDE) makes one static library of every .cpp in DIR; users
# include its headers relative to INCLUDE ("foundation/RunLoop.h" for the platform layers).
# Sources are globbed so that a new class file needs no edit here; CONFIGURE_DEPENDS
# makes the build notice files that were added or removed.
function(parlivo_layer name dir include)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${include})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# parlivo_test_suite(NAME DIR LIBS...) builds one GoogleTest program from every .cpp in DIR
# and registers each test with CTest, so that each one runs in a process of its own.
function(parlivo_test_suite name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} parlivo_testsupport GTest::gtest_main GTest::gmock)
  # A test that hangs fails after two minutes instead of stalling the whole run.
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120)
endfunction()
