# What the desktop needs to list and launch the program: the desktop entry, the AppStream
# metainfo and the application icon in the hicolor theme. They are built into <build>/desktop,
# apart from the resources the program itself loads.
include(GNUInstallDirs)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
# The window's X11 class: Qt takes it from the application name the host sets.
set(PARLIVO_WM_CLASS "parlivo")
set(desktop_dir ${CMAKE_BINARY_DIR}/desktop)
configure_file(${CMAKE_CURRENT_LIST_DIR}/desktop/parlivo.desktop.in ${desktop_dir}/${PARLIVO_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/desktop/parlivo.metainfo.xml.in ${desktop_dir}/${PARLIVO_APP_ID}.metainfo.xml @ONLY)

set(icon_svg ${CMAKE_CURRENT_LIST_DIR}/desktop/icon.svg)
set(icon_theme ${desktop_dir}/icons/hicolor)
file(MAKE_DIRECTORY ${icon_theme}/scalable/apps)
configure_file(${icon_svg} ${icon_theme}/scalable/apps/${PARLIVO_APP_ID}.svg COPYONLY)
foreach(size 16 24 32 48 64 128 256 512)
  set(png ${icon_theme}/${size}x${size}/apps/${PARLIVO_APP_ID}.png)
  file(MAKE_DIRECTORY ${icon_theme}/${size}x${size}/apps)
  add_custom_command(OUTPUT ${png}
    COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --format png --output ${png} ${icon_svg}
    DEPENDS ${icon_svg}
    COMMENT "Rendering the application icon at ${size} pixels")
  list(APPEND resource_outputs ${png})
endforeach()

# The window's icon when the program runs from the build tree (no theme has it there).
set(icon_resource ${PARLIVO_RESOURCE_DIR}/parlivo-icon.png)
add_custom_command(OUTPUT ${icon_resource}
  COMMAND ${RSVG_CONVERT} --width 256 --height 256 --format png --output ${icon_resource} ${icon_svg}
  DEPENDS ${icon_svg}
  COMMENT "Rendering the window icon")
list(APPEND resource_outputs ${icon_resource})

install(FILES ${desktop_dir}/${PARLIVO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/${PARLIVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${icon_theme} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
