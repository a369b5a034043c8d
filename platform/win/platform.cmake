# Win32 platform sources.
target_sources(quorvel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winplatform.cpp ${CMAKE_CURRENT_LIST_DIR}/winplatform.h
    ${CMAKE_CURRENT_LIST_DIR}/win32calls.cpp ${CMAKE_CURRENT_LIST_DIR}/win32calls.h)
