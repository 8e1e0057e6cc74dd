# The drawing library: geometry, transforms, paths, gradients, bitmaps, images, text.
parlivo_test_suite(graphics_tests ${CMAKE_CURRENT_LIST_DIR} parlivo_graphics)
