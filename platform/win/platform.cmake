# Win32 platform sources.
target_sources(quorvel_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/winplatform.cpp)
