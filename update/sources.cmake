target_sources(quorvel_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/feed.h ${CMAKE_CURRENT_LIST_DIR}/feed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/makerkey.h
    ${CMAKE_CURRENT_LIST_DIR}/ziparchive.h ${CMAKE_CURRENT_LIST_DIR}/ziparchive.cpp
    ${CMAKE_CURRENT_LIST_DIR}/releasefiles.h ${CMAKE_CURRENT_LIST_DIR}/releasefiles.cpp
)
# The release archive's deflated entries: zlib's raw inflate. Quorvel.exe ships alone, so on
# Windows the static library is taken (CMake 3.24 and later), never zlib1.dll.
if(WIN32)
    set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
target_link_libraries(quorvel_update PRIVATE ZLIB::ZLIB)
