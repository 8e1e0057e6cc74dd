# The sound-server back-end and the audio engine on a private sound server
# (tests/support/PrivateSoundServer): a pulseaudio daemon, and PipeWire with its PulseAudio
# service when it is installed. What is played is read back from the null sink's monitor;
# the microphone is a 440-Hz sine. Real time, a few seconds per test.
parlivo_test_suite(soundserver_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_app SQLite::SQLite3)
add_dependencies(soundserver_tests parlivo_resources)
target_include_directories(soundserver_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../app)
target_compile_definitions(soundserver_tests PRIVATE PARLIVO_APP_ID="${PARLIVO_APP_ID}")
