target_sources(quorvel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/preparation.cpp ${CMAKE_CURRENT_LIST_DIR}/preparation.h
    ${CMAKE_CURRENT_LIST_DIR}/preparation_detail.h
    ${CMAKE_CURRENT_LIST_DIR}/preparation_comments.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preparation_macros.cpp ${CMAKE_CURRENT_LIST_DIR}/preparation_macros.h
    ${CMAKE_CURRENT_LIST_DIR}/preparation_macroindex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preparation_inserts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preparation_origins.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preparation_notes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linepatterns.cpp ${CMAKE_CURRENT_LIST_DIR}/linepatterns.h
    ${CMAKE_CURRENT_LIST_DIR}/commandcontext.cpp ${CMAKE_CURRENT_LIST_DIR}/commandcontext.h
    ${CMAKE_CURRENT_LIST_DIR}/interpreter.cpp ${CMAKE_CURRENT_LIST_DIR}/interpreter.h
    ${CMAKE_CURRENT_LIST_DIR}/dispatchtable.cpp ${CMAKE_CURRENT_LIST_DIR}/dispatchtable.h
    ${CMAKE_CURRENT_LIST_DIR}/instructionthread.cpp ${CMAKE_CURRENT_LIST_DIR}/instructionthread.h
    ${CMAKE_CURRENT_LIST_DIR}/sleeper.h
    ${CMAKE_CURRENT_LIST_DIR}/checker.cpp ${CMAKE_CURRENT_LIST_DIR}/checker.h
    ${CMAKE_CURRENT_LIST_DIR}/linecheck.cpp ${CMAKE_CURRENT_LIST_DIR}/linecheck.h
    ${CMAKE_CURRENT_LIST_DIR}/recording.cpp ${CMAKE_CURRENT_LIST_DIR}/recording.h
)
target_sources(quorvel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/commands.h
    ${CMAKE_CURRENT_LIST_DIR}/cmd_flow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_compare.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_variables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_input.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_time.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_system.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_csv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cmd_image.cpp
)
target_sources(quorvel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/keynames.cpp ${CMAKE_CURRENT_LIST_DIR}/keynames.h)
target_sources(quorvel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/recording_detail.h
    ${CMAKE_CURRENT_LIST_DIR}/recording_lines.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_paste.cpp)
