# The real PortAudio library without sound hardware: ALSA is given a configuration whose
# default device is the "file" plugin over "null", so what is played lands in a file. Also the
# host's watch of the system going to sleep, over a private D-Bus daemon.
parlivo_test_suite(soundcard_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_app parlivo_host SQLite::SQLite3 Qt6::DBus)
add_dependencies(soundcard_tests parlivo_resources)
target_include_directories(soundcard_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../app)
