# The application's classes, run against real files in a private documents directory.
parlivo_test_suite(app_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_app SQLite::SQLite3)
# Pictures written as other programs write them (tests/support/ForeignPicture.h).
target_link_libraries(app_tests PRIVATE Qt6::Gui)
