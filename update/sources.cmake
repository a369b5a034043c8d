target_sources(quorvel_update PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/feed.h ${CMAKE_CURRENT_LIST_DIR}/feed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/makerkey.h
)
