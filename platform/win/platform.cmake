# Win32 platform sources.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winplatform.cpp ${CMAKE_CURRENT_LIST_DIR}/winplatform.h
    ${CMAKE_CURRENT_LIST_DIR}/win32calls.cpp ${CMAKE_CURRENT_LIST_DIR}/win32calls.h)
# Synthetic input; the screen and the pointer in physical pixels.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/wininput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32input.cpp ${CMAKE_CURRENT_LIST_DIR}/win32input.h
    ${CMAKE_CURRENT_LIST_DIR}/winscreen.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32screen.cpp ${CMAKE_CURRENT_LIST_DIR}/win32screen.h)
# Command lines, files and folders; autostart and the script file association.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winsystem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32system.cpp ${CMAKE_CURRENT_LIST_DIR}/win32system.h
    ${CMAKE_CURRENT_LIST_DIR}/winautostart.cpp)
# Global hotkeys.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winhotkeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32hotkeys.cpp ${CMAKE_CURRENT_LIST_DIR}/win32hotkeys.h)
