target_sources(quorvel_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/processstate.cpp ${CMAKE_CURRENT_LIST_DIR}/processstate.h
    ${CMAKE_CURRENT_LIST_DIR}/guithreadcall.cpp ${CMAKE_CURRENT_LIST_DIR}/guithreadcall.h
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp ${CMAKE_CURRENT_LIST_DIR}/mainwindow.h
    ${CMAKE_CURRENT_LIST_DIR}/dialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogs.h
    ${CMAKE_CURRENT_LIST_DIR}/systemtray.cpp ${CMAKE_CURRENT_LIST_DIR}/systemtray.h
    ${CMAKE_CURRENT_LIST_DIR}/scriptfiles.cpp ${CMAKE_CURRENT_LIST_DIR}/scriptfiles.h
)
