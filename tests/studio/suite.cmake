# The studio's own views: drawing helpers, control panels, level meter, carousel. Screenshots
# of the carousel are written into the build tree for a look.
parlivo_test_suite(studio_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_app)
add_dependencies(studio_tests parlivo_resources)
target_include_directories(studio_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../ui)
target_compile_definitions(studio_tests PRIVATE PARLIVO_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/tests/screenshots")
