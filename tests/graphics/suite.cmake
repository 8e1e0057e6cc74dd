# The drawing library: geometry, transforms, paths, gradients, bitmaps, images, text.
parlivo_test_suite(graphics_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_graphics)
# Pictures made with Qt, as other programs write them.
target_link_libraries(graphics_tests PRIVATE Qt6::Gui)
