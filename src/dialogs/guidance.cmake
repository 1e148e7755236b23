# The guidance window and its video player.
find_package(SDL2 REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
target_sources(shopdesk_dialogs PRIVATE cvideoplayer.cpp cguidanceui.cpp)
target_link_libraries(shopdesk_dialogs PRIVATE SDL2::SDL2 PkgConfig::FFMPEG)
