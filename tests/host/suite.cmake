# The desktop host's parts that need no display: window geometry and titles, and the channel
# a second start uses.
parlivo_test_suite(host_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_host)
target_compile_definitions(host_tests PRIVATE PARLIVO_APP_ID="${PARLIVO_APP_ID}")
