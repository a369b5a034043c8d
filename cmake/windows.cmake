# Windows-only build settings for the Quorvel executable. Included from the top level after
# the Quorvel target exists.

# No console window beside the program: the GUI subsystem, entered through WinMain.
set_target_properties(Quorvel PROPERTIES WIN32_EXECUTABLE ON)

# The icon that Explorer, the taskbar and the file association show for Quorvel.exe.
# The script names the icon relative to its own folder; with that folder on the include path
# windres and rc.exe both find it.
set(QUORVEL_RC_FILE ${CMAKE_SOURCE_DIR}/resources/quorvel.rc)
set(QUORVEL_APP_ICON ${CMAKE_SOURCE_DIR}/resources/icons/Quorvel_1.ico)
set_source_files_properties(${QUORVEL_RC_FILE} PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/resources
    COMPILE_DEFINITIONS "QUORVEL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};QUORVEL_VERSION_MINOR=${PROJECT_VERSION_MINOR}")
# The resource compiler does not report the icon as a dependency.
set_property(SOURCE ${QUORVEL_RC_FILE} APPEND PROPERTY OBJECT_DEPENDS ${QUORVEL_APP_ICON})
target_sources(Quorvel PRIVATE ${QUORVEL_RC_FILE})

# Sources are UTF-8; MSVC would otherwise read them in the system's code page. Public, so
# everything that links the core (the executable, tests) gets it too.
if(MSVC)
    target_compile_options(quorvel_core PUBLIC /utf-8)
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
        set_property(TARGET Quorvel quorvel_core PROPERTY MSVC_RUNTIME_LIBRARY
                     "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    endif()
endif()

if(MINGW)
    # Release binaries ship without symbols; a static Qt makes them large otherwise.
    target_link_options(Quorvel PRIVATE $<$<OR:$<CONFIG:Release>,$<CONFIG:MinSizeRel>>:-s>)
endif()
