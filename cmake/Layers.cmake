# Writes which folder links which (layer-links.txt in the build folder, one "folder -> folder"
# line per link) from the targets every source folder defines, and adds the test that checks
# each #include against it with scripts/check_layers.py. Included last, once every target is
# linked.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(PICTORUM_LAYER_LINKS "")
get_property(PICTORUM_SOURCE_FOLDERS DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
foreach(folder IN LISTS PICTORUM_SOURCE_FOLDERS)
    file(RELATIVE_PATH from ${PROJECT_SOURCE_DIR} ${folder})
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
        else()
            get_target_property(links ${target} LINK_LIBRARIES)
        endif()
        foreach(link IN LISTS links)
            if(NOT TARGET ${link})
                continue()
            endif()
            get_target_property(imported ${link} IMPORTED)
            if(imported)
                continue()
            endif()
            get_target_property(to_folder ${link} SOURCE_DIR)
            file(RELATIVE_PATH to ${PROJECT_SOURCE_DIR} ${to_folder})
            # The options target lives at the root: it carries flags, not a layer.
            if(NOT to STREQUAL "" AND NOT to STREQUAL from)
                list(APPEND PICTORUM_LAYER_LINKS "${from} -> ${to}")
            endif()
        endforeach()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES PICTORUM_LAYER_LINKS)
list(SORT PICTORUM_LAYER_LINKS)
list(JOIN PICTORUM_LAYER_LINKS "\n" PICTORUM_LAYER_TEXT)
file(WRITE ${PROJECT_BINARY_DIR}/layer-links.txt "${PICTORUM_LAYER_TEXT}\n")

add_test(NAME Layers.IncludesFollowLinks
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check_layers.py
            ${PROJECT_BINARY_DIR}/layer-links.txt ${PROJECT_SOURCE_DIR})
add_test(NAME Layers.Checker
    COMMAND Python3::Interpreter -B -m unittest -v check_layers_test
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/scripts)
