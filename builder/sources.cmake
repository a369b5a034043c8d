target_sources(quorvel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/buildertext.cpp ${CMAKE_CURRENT_LIST_DIR}/buildertext.h
)
