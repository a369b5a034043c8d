target_sources(quorvel_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/platform.h ${CMAKE_CURRENT_LIST_DIR}/platform.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pathpattern.h
)
# The implementation of the system we build for.
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/win/platform.cmake)
else()
    include(${CMAKE_CURRENT_LIST_DIR}/x11/platform.cmake)
endif()
