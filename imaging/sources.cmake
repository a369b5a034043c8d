set(QUORVEL_IMAGING_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pixelview.h
    ${CMAKE_CURRENT_LIST_DIR}/imageops.cpp ${CMAKE_CURRENT_LIST_DIR}/imageops.h
    ${CMAKE_CURRENT_LIST_DIR}/region.cpp ${CMAKE_CURRENT_LIST_DIR}/region.h
    ${CMAKE_CURRENT_LIST_DIR}/templatesearch.cpp ${CMAKE_CURRENT_LIST_DIR}/templatesearch.h
    ${CMAKE_CURRENT_LIST_DIR}/glyphs.cpp ${CMAKE_CURRENT_LIST_DIR}/glyphs.h
)
target_sources(quorvel_imaging PRIVATE ${QUORVEL_IMAGING_SOURCES})
# The order glyph files are listed in differs per system: one file for each.
if(WIN32)
    target_sources(quorvel_imaging PRIVATE ${CMAKE_CURRENT_LIST_DIR}/listingorder.h
        ${CMAKE_CURRENT_LIST_DIR}/listingorder_win.cpp)
else()
    target_sources(quorvel_imaging PRIVATE ${CMAKE_CURRENT_LIST_DIR}/listingorder.h
        ${CMAKE_CURRENT_LIST_DIR}/listingorder_posix.cpp)
endif()
# The brightness sums must round as plain double arithmetic does on every target: no fused
# multiply-add, which would move pixels across the light threshold.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/imageops.cpp
        ${CMAKE_CURRENT_LIST_DIR}/templatesearch.cpp
        PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
endif()
