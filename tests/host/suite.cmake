# The desktop host's parts that need no display: window geometry and titles, the channel a
# second start uses, and the media-player service, which talks over a private session bus:
# every test of the program runs under dbus-run-session (the emulator CTest starts it with).
find_program(DBUS_RUN_SESSION dbus-run-session REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${DBUS_RUN_SESSION} --)
parlivo_test_suite(host_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_host Qt6::DBus Qt6::Gui)
unset(CMAKE_CROSSCOMPILING_EMULATOR)
target_compile_definitions(host_tests PRIVATE PARLIVO_APP_ID="${PARLIVO_APP_ID}")
set_target_properties(host_tests PROPERTIES AUTOMOC ON)
