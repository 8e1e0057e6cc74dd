# The sounds "beep", "crumple" and "save" (type "caf"), generated at build time.
add_executable(make_sounds ${CMAKE_CURRENT_LIST_DIR}/sounds/make_sounds.cpp)
target_link_libraries(make_sounds PRIVATE PkgConfig::SNDFILE)
set_target_properties(make_sounds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(sound_outputs
  ${PARLIVO_RESOURCE_DIR}/beep.caf
  ${PARLIVO_RESOURCE_DIR}/crumple.caf
  ${PARLIVO_RESOURCE_DIR}/save.caf)
add_custom_command(OUTPUT ${sound_outputs}
  COMMAND make_sounds ${PARLIVO_RESOURCE_DIR}
  DEPENDS make_sounds
  COMMENT "Generating the sound effects")
list(APPEND resource_outputs ${sound_outputs})
