# Views, animation blocks, touches, windows, controls, bars, controllers and the application.
parlivo_test_suite(ui_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_ui)
add_dependencies(ui_tests parlivo_resources)
# The screenshot test writes what it drew here, for people to look at.
target_compile_definitions(ui_tests PRIVATE PARLIVO_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/tests/screenshots")
