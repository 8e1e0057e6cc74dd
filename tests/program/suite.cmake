# Runs the built parlivo executable as a user would.
parlivo_test_suite(program_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_foundation parlivo_graphics parlivo_audio SQLite::SQLite3)
target_compile_definitions(program_tests PRIVATE PARLIVO_EXECUTABLE="$<TARGET_FILE:parlivo>" PARLIVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(program_tests parlivo)
