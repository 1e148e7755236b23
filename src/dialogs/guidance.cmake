# The guidance window and its video player. The player's engine is a module of its own, loaded
# when the video first plays, so that FFmpeg and SDL stay out of every start.
find_package(SDL2 REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
add_library(shopdesk_video MODULE cvideoplayback.cpp)
target_include_directories(shopdesk_video PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(shopdesk_video PRIVATE SDL2::SDL2 PkgConfig::FFMPEG Threads::Threads)
set_target_properties(shopdesk_video PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${SHOPDESK_BIN_DIR})
target_sources(shopdesk_dialogs PRIVATE cvideoplayer.cpp cguidanceui.cpp)
add_dependencies(shopdesk_dialogs shopdesk_video)
