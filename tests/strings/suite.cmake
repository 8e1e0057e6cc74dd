# The display texts themselves: every key the code looks up has an English text, and each
# translation keeps the English text's format arguments.
parlivo_test_suite(strings_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_foundation)
target_compile_definitions(strings_tests PRIVATE PARLIVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(strings_tests parlivo_resources)
