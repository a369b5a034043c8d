# One static library per layer, linked only downward, and an include view per layer that
# holds only the folders of that layer and of the layers it builds on: an include that reaches
# up finds no file and fails to build.
#
#   quorvel_layer(<name> [USES <layer>...])
#
# makes quorvel_<name> from <name>/sources.cmake, which lists its sources with
# target_sources(quorvel_<name> ...).

define_property(GLOBAL PROPERTY QUORVEL_LAYER_VIEW_FOLDERS
    BRIEF_DOCS "Folders each layer may include" FULL_DOCS "Set by quorvel_layer().")

function(quorvel_layer name)
    cmake_parse_arguments(LAYER "" "" "USES" ${ARGN})
    add_library(quorvel_${name} STATIC)
    target_link_libraries(quorvel_${name} PUBLIC Qt5::Core Qt5::Gui Qt5::Widgets)

    # What the layer sees: itself, the layers it uses and everything they see.
    set(folders ${name})
    foreach(used ${LAYER_USES})
        if(NOT TARGET quorvel_${used})
            message(FATAL_ERROR "layer ${name} uses ${used}, which is not a layer below it")
        endif()
        get_property(seen GLOBAL PROPERTY QUORVEL_LAYER_VIEW_${used})
        list(APPEND folders ${seen})
        target_link_libraries(quorvel_${name} PUBLIC quorvel_${used})
    endforeach()
    list(REMOVE_DUPLICATES folders)
    set_property(GLOBAL PROPERTY QUORVEL_LAYER_VIEW_${name} ${folders})

    # The view: a folder of links to the source folders it may include from. Made anew on every
    # configure so a layer that stops using another stops seeing it. Only the links are removed.
    set(view ${CMAKE_BINARY_DIR}/layers/${name})
    file(MAKE_DIRECTORY ${view})
    file(GLOB old_links LIST_DIRECTORIES true ${view}/*)
    foreach(link ${old_links})
        if(IS_SYMLINK ${link})
            file(REMOVE ${link})
        endif()
    endforeach()
    foreach(folder ${folders})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    endforeach()
    target_include_directories(quorvel_${name} PRIVATE ${view})

    include(${CMAKE_SOURCE_DIR}/${name}/sources.cmake)
endfunction()
