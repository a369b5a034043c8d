# Win32 platform sources, in two tiers: api/ holds the Win32 calls themselves in plain C++
# without Qt (narrow ANSI strings), this folder the Platform implementation that turns Qt's
# types into theirs.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winplatform.cpp ${CMAKE_CURRENT_LIST_DIR}/winplatform.h
    ${CMAKE_CURRENT_LIST_DIR}/api/calls.cpp ${CMAKE_CURRENT_LIST_DIR}/api/calls.h)
# Synthetic input; the screen and the pointer in physical pixels.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/wininput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/input.cpp ${CMAKE_CURRENT_LIST_DIR}/api/input.h
    ${CMAKE_CURRENT_LIST_DIR}/winscreen.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/screen.cpp ${CMAKE_CURRENT_LIST_DIR}/api/screen.h)
# Command lines, files and folders; autostart and the script file association.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winsystem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/system.cpp ${CMAKE_CURRENT_LIST_DIR}/api/system.h
    ${CMAKE_CURRENT_LIST_DIR}/winautostart.cpp)
# Global hotkeys.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winhotkeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/hotkeys.cpp ${CMAKE_CURRENT_LIST_DIR}/api/hotkeys.h)
# Script patterns: where an absolute path starts.
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pathpattern.cpp)
# Recording the user's input: low-level hooks.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winrecorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/recorder.cpp ${CMAKE_CURRENT_LIST_DIR}/api/recorder.h)
# Signatures of the release feed: ECDSA P-256 through CNG.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/winsignature.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/signature.cpp ${CMAKE_CURRENT_LIST_DIR}/api/signature.h)
target_link_libraries(quorvel_platform PUBLIC bcrypt)
# Downloads of the online update through WinHTTP, on threads of their own.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/windownload.cpp
    ${CMAKE_CURRENT_LIST_DIR}/api/download.cpp ${CMAKE_CURRENT_LIST_DIR}/api/download.h)
target_link_libraries(quorvel_platform PUBLIC winhttp)
