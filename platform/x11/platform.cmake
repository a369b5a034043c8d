# Linux/X11 platform sources.
target_sources(quorvel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/x11platform.cpp ${CMAKE_CURRENT_LIST_DIR}/x11platform.h)
