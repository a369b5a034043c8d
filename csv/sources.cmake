target_sources(quorvel_csv PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/csvfile.cpp ${CMAKE_CURRENT_LIST_DIR}/csvfile.h
    ${CMAKE_CURRENT_LIST_DIR}/csvtable.cpp ${CMAKE_CURRENT_LIST_DIR}/csvtable.h
)
# Searching a key in a CSV file: the C library's memmem where there is one.
if(WIN32)
    target_sources(quorvel_csv PRIVATE ${CMAKE_CURRENT_LIST_DIR}/csvfile_search.h
        ${CMAKE_CURRENT_LIST_DIR}/csvfile_search_portable.cpp)
else()
    target_sources(quorvel_csv PRIVATE ${CMAKE_CURRENT_LIST_DIR}/csvfile_search.h
        ${CMAKE_CURRENT_LIST_DIR}/csvfile_search_memmem.cpp)
endif()
