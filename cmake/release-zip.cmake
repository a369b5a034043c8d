# The release archive, the same on every system: the program, the empty settings file, the help
# text, the script and picture folders (empty) and the icon that the .zt association shows.
# The user unpacks it into the folder the program is to live in; the online update takes only
# the program's own files out of it.
#
#   quorvel_release_zip(<system suffix> <program's name in the archive> [NOTEPAD_HELP])
#
# makes the target release_zip, packing ${CMAKE_BINARY_DIR}/Quorvel-<version>-<suffix>.zip.
# NOTEPAD_HELP writes the help text for Notepad (byte-order mark, CR LF; see notepad-text.cmake).

function(quorvel_release_zip suffix program)
    cmake_parse_arguments(ZIP "NOTEPAD_HELP" "" "" ${ARGN})
    set(zip ${CMAKE_BINARY_DIR}/Quorvel-${PROJECT_VERSION}-${suffix}.zip)
    set(stage ${CMAKE_BINARY_DIR}/release)
    set(help ${CMAKE_SOURCE_DIR}/resources/QuorvelExplain.txt)
    set(settings ${CMAKE_SOURCE_DIR}/resources/Quorvel.qcf)
    set(icon ${CMAKE_SOURCE_DIR}/resources/icons/zt.ico)
    if(ZIP_NOTEPAD_HELP)
        set(notepad_text ${CMAKE_SOURCE_DIR}/cmake/notepad-text.cmake)
        set(copy_help ${CMAKE_COMMAND} -DIN=${help} -DOUT=${stage}/QuorvelExplain.txt
                      -P ${notepad_text})
    else()
        set(notepad_text "")
        set(copy_help ${CMAKE_COMMAND} -E copy ${help} ${stage}/QuorvelExplain.txt)
    endif()
    add_custom_command(OUTPUT ${zip}
        # A fresh folder each time, so nothing left from an earlier build slips into the archive.
        COMMAND ${CMAKE_COMMAND} -E remove_directory ${stage}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/ZtFiles ${stage}/BmpLibrary
                ${stage}/iconengines
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Quorvel> ${stage}/${program}
        COMMAND ${CMAKE_COMMAND} -E copy ${settings} ${stage}/Quorvel.qcf
        COMMAND ${copy_help}
        COMMAND ${CMAKE_COMMAND} -E copy ${icon} ${stage}/iconengines/zt.ico
        COMMAND ${CMAKE_COMMAND} -E remove -f ${zip}
        # CMake writes zip itself, so the target needs no archiver, on Windows either.
        COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
                ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip --
                ${program} Quorvel.qcf QuorvelExplain.txt ZtFiles BmpLibrary iconengines
        DEPENDS Quorvel $<TARGET_FILE:Quorvel> ${settings} ${help} ${notepad_text} ${icon}
        COMMENT "Packing ${zip}"
        VERBATIM)
    add_custom_target(release_zip DEPENDS ${zip})
    set(QUORVEL_RELEASE_ZIP ${zip} PARENT_SCOPE)
endfunction()
