# Views, animation blocks, touches, windows and the frame clock.
parlivo_test_suite(ui_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_ui)
add_dependencies(ui_tests parlivo_resources)
