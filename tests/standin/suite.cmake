# The PortAudio back-end and the audio engine on a stand-in sound card: StandInCard.cpp
# defines the PortAudio functions the program calls, so this program links them in place of
# the library. Its streams call back every 256 frames in real time on threads of their own;
# tests make it refuse streams, end them or stop calling back.
parlivo_test_suite(standin_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_app SQLite::SQLite3 PkgConfig::PORTAUDIO)
add_dependencies(standin_tests parlivo_resources)
target_include_directories(standin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../app)
