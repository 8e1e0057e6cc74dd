# The audio layer against a virtual device and real files in a private directory.
parlivo_test_suite(audio_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_audio)
add_dependencies(audio_tests parlivo_resources)
