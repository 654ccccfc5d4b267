# The source folders from the bottom layer up. A file includes only from its
# own folder and from folders of lower layers; folders that share a layer
# (one entry, separated by blanks) know nothing of each other.
set(VANTREL_LAYERS
    "framework"
    "platform"
    "serial dde network"
    "orbit"
    "services"
    "radio"
    "planning"
    "app"
    "tools")

# Sets `out` to one line per include of `source_dir` that points up or
# sideways: "file: includes folder/header".
function(vantrel_find_upward_includes source_dir out)
    set(rank 0)
    foreach(layer IN LISTS VANTREL_LAYERS)
        string(REPLACE " " ";" folders "${layer}")
        foreach(folder IN LISTS folders)
            set(rank_of_${folder} ${rank})
        endforeach()
        math(EXPR rank "${rank} + 1")
    endforeach()

    set(faults "")
    foreach(layer IN LISTS VANTREL_LAYERS)
        string(REPLACE " " ";" folders "${layer}")
        foreach(folder IN LISTS folders)
            file(GLOB_RECURSE sources "${source_dir}/${folder}/*.h" "${source_dir}/${folder}/*.cpp")
            foreach(source IN LISTS sources)
                file(STRINGS "${source}" includes REGEX "^#include \"[^/\"]+/")
                foreach(include IN LISTS includes)
                    string(REGEX REPLACE "^#include \"([^/\"]+)/.*$" "\\1" target "${include}")
                    if(NOT DEFINED rank_of_${target} OR target STREQUAL folder)
                        continue()
                    endif()
                    if(NOT rank_of_${target} LESS rank_of_${folder})
                        file(RELATIVE_PATH shown "${source_dir}" "${source}")
                        string(REGEX REPLACE "^#include " "" header "${include}")
                        list(APPEND faults "${shown}: includes ${header}")
                    endif()
                endforeach()
            endforeach()
        endforeach()
    endforeach()
    set(${out} "${faults}" PARENT_SCOPE)
endfunction()

# Run as a script (cmake -DSOURCE_DIR=... -DSTAMP=... -P IncludeLayers.cmake)
# at every build, so an edit that includes upward fails the build at once.
if(CMAKE_SCRIPT_MODE_FILE)
    vantrel_find_upward_includes("${SOURCE_DIR}" faults)
    if(faults)
        list(JOIN faults "\n  " shown)
        message(FATAL_ERROR "Includes that point up a layer:\n  ${shown}")
    endif()
    file(TOUCH "${STAMP}")
endif()
