target_sources(quorvel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/csvfile.cpp ${CMAKE_CURRENT_LIST_DIR}/csvfile.h
    ${CMAKE_CURRENT_LIST_DIR}/csvtable.cpp ${CMAKE_CURRENT_LIST_DIR}/csvtable.h
)
