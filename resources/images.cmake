# Every resources/images/NAME.svg becomes images/NAME.png (1x) and images/NAME@2x.png (2x)
# among the built resources; the program picks the one that suits the display's scale.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

file(GLOB svg_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/images/*.svg)
file(MAKE_DIRECTORY ${PARLIVO_RESOURCE_DIR}/images)
foreach(svg ${svg_sources})
  get_filename_component(name ${svg} NAME_WE)
  set(png1 ${PARLIVO_RESOURCE_DIR}/images/${name}.png)
  set(png2 ${PARLIVO_RESOURCE_DIR}/images/${name}@2x.png)
  add_custom_command(OUTPUT ${png1} ${png2}
    COMMAND ${RSVG_CONVERT} --zoom 1 --format png --output ${png1} ${svg}
    COMMAND ${RSVG_CONVERT} --zoom 2 --format png --output ${png2} ${svg}
    DEPENDS ${svg}
    COMMENT "Rendering image ${name}")
  list(APPEND resource_outputs ${png1} ${png2})
endforeach()
