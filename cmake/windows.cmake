# Windows-only build settings for the Quorvel executable. Included from the top level after
# the Quorvel target exists.

# No console window beside the program: the GUI subsystem, entered through WinMain.
set_target_properties(Quorvel PROPERTIES WIN32_EXECUTABLE ON)

# The icon that Explorer, the taskbar and the file association show for Quorvel.exe, and the
# application manifest that declares the program DPI-aware.
# The script names the icon relative to its own folder; with that folder on the include path
# windres and rc.exe both find it.
set(QUORVEL_RC_FILE ${CMAKE_SOURCE_DIR}/resources/quorvel.rc)
set(QUORVEL_APP_ICON ${CMAKE_SOURCE_DIR}/resources/icons/Quorvel_1.ico)
set_source_files_properties(${QUORVEL_RC_FILE} PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/resources
    COMPILE_DEFINITIONS "QUORVEL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};QUORVEL_VERSION_MINOR=${PROJECT_VERSION_MINOR}")
# The resource compiler does not report the files it embeds as dependencies.
set(QUORVEL_MANIFEST ${CMAKE_SOURCE_DIR}/resources/quorvel.manifest)
set_property(SOURCE ${QUORVEL_RC_FILE} APPEND PROPERTY OBJECT_DEPENDS
             ${QUORVEL_APP_ICON} ${QUORVEL_MANIFEST})
target_sources(Quorvel PRIVATE ${QUORVEL_RC_FILE})
# MSVC's linker writes a manifest of its own and merges the given file into it; MinGW's has none,
# so the resource script carries the file.
if(MSVC)
    target_sources(Quorvel PRIVATE ${QUORVEL_MANIFEST})
else()
    set_property(SOURCE ${QUORVEL_RC_FILE} APPEND PROPERTY COMPILE_DEFINITIONS QUORVEL_RC_MANIFEST)
endif()

# Sources are UTF-8; MSVC would otherwise read them in the system's code page. Public, so
# everything that links the core (the executable, tests) gets it too.
if(MSVC)
    foreach(layer ${QUORVEL_LAYERS})
        target_compile_options(quorvel_${layer} PUBLIC /utf-8)
    endforeach()
endif()

# A self-contained executable needs the C and C++ runtimes linked in. That is only safe when
# Qt itself is static: a program and Qt DLLs must share one runtime.
get_target_property(_quorvel_qt_type Qt5::Core TYPE)
if(_quorvel_qt_type STREQUAL "STATIC_LIBRARY")
    set(_quorvel_static_default ON)
else()
    set(_quorvel_static_default OFF)
endif()
option(QUORVEL_STATIC_RUNTIME
       "Link the C/C++ runtime statically (needs a static Qt; for MSVC one built with -static-runtime)"
       ${_quorvel_static_default})

if(QUORVEL_STATIC_RUNTIME)
    if(MINGW)
        target_link_options(Quorvel PRIVATE -static -static-libgcc -static-libstdc++)
    elseif(MSVC)
        # Every target that links Qt must use the same runtime, tests included.
        set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
        list(TRANSFORM QUORVEL_LAYERS PREPEND quorvel_ OUTPUT_VARIABLE _quorvel_layer_targets)
        set_property(TARGET Quorvel ${_quorvel_layer_targets} PROPERTY MSVC_RUNTIME_LIBRARY
                     "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    endif()
endif()

if(MINGW)
    # Release binaries ship without symbols; a static Qt makes them large otherwise.
    target_link_options(Quorvel PRIVATE $<$<OR:$<CONFIG:Release>,$<CONFIG:MinSizeRel>>:-s>)
endif()

# The help text opens in Notepad. The copy beside the built executable and the one in the
# release archive are made readable there (byte-order mark, CR LF); the repository keeps UTF-8.
set(QUORVEL_NOTEPAD_TEXT ${CMAKE_SOURCE_DIR}/cmake/notepad-text.cmake)
set(QUORVEL_HELP_TEXT ${CMAKE_SOURCE_DIR}/resources/QuorvelExplain.txt)
add_custom_command(TARGET Quorvel POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DIN=${QUORVEL_HELP_TEXT}
            -DOUT=$<TARGET_FILE_DIR:Quorvel>/QuorvelExplain.txt -P ${QUORVEL_NOTEPAD_TEXT})

# The release archive (cmake/release-zip.cmake), unpacked by the user into the program folder:
#   cmake --build build-win --target release_zip
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_quorvel_arch win64)
else()
    set(_quorvel_arch win32)
endif()
include(${CMAKE_SOURCE_DIR}/cmake/release-zip.cmake)
quorvel_release_zip(${_quorvel_arch} Quorvel.exe NOTEPAD_HELP)

# Qt's own Chinese texts for standard dialogs and buttons go inside the executable, so the one
# Quorvel.exe has them. Taken from the target Qt's translations folder, else from the build
# machine's (Debian's qttranslations5-l10n has the same Qt 5.15 texts).
get_target_property(_quorvel_qmake Qt5::qmake IMPORTED_LOCATION)
execute_process(COMMAND ${_quorvel_qmake} -query QT_INSTALL_TRANSLATIONS
                OUTPUT_VARIABLE _quorvel_qt_translations OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
# Both are folders of the build machine: a cross toolchain's find root must not be put in front.
find_file(QUORVEL_QT_TRANSLATION qtbase_zh_CN.qm
          PATHS ${_quorvel_qt_translations} /usr/share/qt5/translations
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(QUORVEL_QT_TRANSLATION)
    set(_quorvel_translation_qrc ${CMAKE_BINARY_DIR}/qt_translations.qrc)
    file(WRITE ${_quorvel_translation_qrc}
         "<RCC><qresource prefix=\"/translations\">"
         "<file alias=\"qtbase_zh_CN.qm\">${QUORVEL_QT_TRANSLATION}</file>"
         "</qresource></RCC>\n")
    target_sources(Quorvel PRIVATE ${_quorvel_translation_qrc})
else()
    message(WARNING "qtbase_zh_CN.qm not found: Quorvel.exe's standard dialogs stay English")
endif()
