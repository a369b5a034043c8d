# Linux/X11 platform sources.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/x11platform.cpp ${CMAKE_CURRENT_LIST_DIR}/x11platform.h)
# Synthetic input through XTest.
find_package(X11 REQUIRED)
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11input.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x11keysyms.cpp ${CMAKE_CURRENT_LIST_DIR}/x11keysyms.h)
target_link_libraries(quorvel_platform PUBLIC X11::X11 X11::Xtst)
# Recording the user's input through RECORD (part of libXtst), on a thread of its own; XInput 2
# raw events make the server send the recording at once.
find_package(Threads REQUIRED)
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11recorder.cpp)
target_link_libraries(quorvel_platform PUBLIC Threads::Threads X11::Xi)
# Command lines, files and folders; autostart and the script file association.
target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/x11system.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x11autostart.cpp)
# Global hotkeys: key grabs on the toolkit's own X connection.
find_package(Qt5 REQUIRED COMPONENTS X11Extras)
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11hotkeys.cpp)
target_link_libraries(quorvel_platform PUBLIC Qt5::X11Extras xcb)
# Screen capture through shared memory.
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11screen.cpp)
target_link_libraries(quorvel_platform PUBLIC xcb-shm)
# Script patterns: where an absolute path starts.
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pathpattern.cpp)
# Signatures of the release feed: ECDSA P-256 through OpenSSL's libcrypto.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11signature.cpp)
target_link_libraries(quorvel_platform PUBLIC OpenSSL::Crypto)
# Downloads of the online update, through Qt's network access.
target_sources(quorvel_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11download.cpp)
target_link_libraries(quorvel_platform PUBLIC Qt5::Network)
