# The whole application driven headless, in process, on the manual clock and the virtual audio
# devices: touches where the layout puts the controls, the database and the audio files read
# back. Screenshots of the studio are written into the build tree for a look.
parlivo_test_suite(e2e_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_app SQLite::SQLite3)
add_dependencies(e2e_tests parlivo_resources)
target_include_directories(e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../ui)
target_compile_definitions(e2e_tests PRIVATE PARLIVO_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/tests/screenshots" PARLIVO_HOMEPAGE="${PARLIVO_HOMEPAGE}")
# Pictures written as other programs write them (tests/support/ForeignPicture.h).
target_link_libraries(e2e_tests PRIVATE Qt6::Gui)
