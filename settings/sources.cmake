target_sources(quorvel_settings PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/settings.cpp ${CMAKE_CURRENT_LIST_DIR}/settings.h
    ${CMAKE_CURRENT_LIST_DIR}/filesave.cpp ${CMAKE_CURRENT_LIST_DIR}/filesave.h
)
