# The form and the resources (icons, translations) belong to the window.
target_sources(quorvel_app PRIVATE
    ${CMAKE_SOURCE_DIR}/resources/mainwindow.ui
    ${CMAKE_SOURCE_DIR}/resources/resources.qrc
)
target_sources(quorvel_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/processstate.cpp ${CMAKE_CURRENT_LIST_DIR}/processstate.h
    ${CMAKE_CURRENT_LIST_DIR}/appresources.cpp ${CMAKE_CURRENT_LIST_DIR}/appresources.h
    ${CMAKE_CURRENT_LIST_DIR}/guithreadcall.cpp ${CMAKE_CURRENT_LIST_DIR}/guithreadcall.h
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp ${CMAKE_CURRENT_LIST_DIR}/mainwindow.h
    ${CMAKE_CURRENT_LIST_DIR}/runcontrol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recordcontrol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder.cpp ${CMAKE_CURRENT_LIST_DIR}/recorder.h
    ${CMAKE_CURRENT_LIST_DIR}/dialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogs.h
    ${CMAKE_CURRENT_LIST_DIR}/systemtray.cpp ${CMAKE_CURRENT_LIST_DIR}/systemtray.h
    ${CMAKE_CURRENT_LIST_DIR}/scriptfiles.cpp ${CMAKE_CURRENT_LIST_DIR}/scriptfiles.h
    ${CMAKE_CURRENT_LIST_DIR}/updater.cpp ${CMAKE_CURRENT_LIST_DIR}/updater.h
)
# `Quorvel --check`: the command line and the report it prints.
target_sources(quorvel_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/checkcommand.cpp ${CMAKE_CURRENT_LIST_DIR}/checkcommand.h
    ${CMAKE_CURRENT_LIST_DIR}/checkreport.cpp ${CMAKE_CURRENT_LIST_DIR}/checkreport.h)
target_sources(quorvel_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/editor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/editorcolouring.cpp ${CMAKE_CURRENT_LIST_DIR}/editorcolouring.h
    ${CMAKE_CURRENT_LIST_DIR}/colouringparts.h ${CMAKE_CURRENT_LIST_DIR}/displaylines.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scriptcolouring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/editoraids.cpp ${CMAKE_CURRENT_LIST_DIR}/editoraids.h
    ${CMAKE_CURRENT_LIST_DIR}/editorhistory.cpp ${CMAKE_CURRENT_LIST_DIR}/editorhistory.h
    ${CMAKE_CURRENT_LIST_DIR}/editordisplay.cpp ${CMAKE_CURRENT_LIST_DIR}/editordisplay.h
    ${CMAKE_CURRENT_LIST_DIR}/editorstate.h
    ${CMAKE_CURRENT_LIST_DIR}/editorcheck.cpp ${CMAKE_CURRENT_LIST_DIR}/editorcheck.h
    ${CMAKE_CURRENT_LIST_DIR}/editorgutter.cpp ${CMAKE_CURRENT_LIST_DIR}/editorgutter.h
    ${CMAKE_CURRENT_LIST_DIR}/editormarks.cpp ${CMAKE_CURRENT_LIST_DIR}/editormarks.h
    ${CMAKE_CURRENT_LIST_DIR}/editortrace.cpp ${CMAKE_CURRENT_LIST_DIR}/editortrace.h
)
target_sources(quorvel_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/hotkeys.cpp ${CMAKE_CURRENT_LIST_DIR}/hotkeys.h
    ${CMAKE_CURRENT_LIST_DIR}/hotkeydispatch.cpp)
# The form's pages and groups, each a widget class of its own (promoted in mainwindow.ui).
set(_panels builderpanel csvquicktoolspanel csvtablepanel hotkeyslotspanel quickrunpanel
    scriptfilespanel settingspanel updatepanel)
foreach(_panel ${_panels})
    target_sources(quorvel_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/panels/${_panel}.cpp
        ${CMAKE_CURRENT_LIST_DIR}/panels/${_panel}.h)
endforeach()
target_sources(quorvel_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/panels/panelsettings.h)
