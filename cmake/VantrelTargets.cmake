# Compile settings every target links, instead of global flags.
add_library(vantrel_options INTERFACE)
target_compile_features(vantrel_options INTERFACE cxx_std_20)
target_compile_options(vantrel_options INTERFACE
    -Wall -Wextra -Werror -pedantic-errors
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wformat=2 -Wshadow)
target_compile_definitions(vantrel_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_KEYWORDS
    _GLIBCXX_ASSERTIONS
    # Fortification needs the optimiser, which debug builds leave out.
    $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=3>)
# As Debian links its programs: every symbol bound at start-up, so the
# tables that hold them can be made read-only.
target_link_options(vantrel_options INTERFACE -Wl,-z,relro,-z,now)
if(VANTREL_SANITIZE OR VANTREL_FUZZ)
    set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all)
    target_compile_options(vantrel_options INTERFACE ${sanitizers} -fno-omit-frame-pointer)
    target_link_options(vantrel_options INTERFACE ${sanitizers})
endif()
if(VANTREL_FUZZ)
    # Coverage for libFuzzer in every library the targets reach; the
    # targets themselves link its driver (fuzz/).
    target_compile_options(vantrel_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

set_property(GLOBAL PROPERTY VANTREL_CORE_LIBRARIES "")

# A library of the system's logic: it may link Qt Core but never Qt Widgets,
# so every part of it runs in a test without a display.
function(vantrel_core_library name)
    add_library(${name} STATIC ${ARGN})
    target_link_libraries(${name} PUBLIC vantrel_options)
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    set_property(GLOBAL APPEND PROPERTY VANTREL_CORE_LIBRARIES ${name})
endfunction()

function(_vantrel_collect_links target out)
    set(found "")
    get_target_property(links ${target} LINK_LIBRARIES)
    get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS links iface)
        if(lib AND NOT lib IN_LIST found AND NOT lib MATCHES "^\\$<")
            list(APPEND found ${lib})
            if(TARGET ${lib})
                get_target_property(aliased ${lib} ALIASED_TARGET)
                if(aliased)
                    set(lib ${aliased})
                endif()
                _vantrel_collect_links(${lib} nested)
                list(APPEND found ${nested})
            endif()
        endif()
    endforeach()
    list(REMOVE_DUPLICATES found)
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# Fails the configuration when a core library reaches Qt Widgets or Gui.
function(vantrel_check_core_links)
    get_property(cores GLOBAL PROPERTY VANTREL_CORE_LIBRARIES)
    foreach(core IN LISTS cores)
        _vantrel_collect_links(${core} links)
        foreach(lib IN LISTS links)
            if(lib MATCHES "Qt6?::(Widgets|Gui)")
                message(FATAL_ERROR "${core} is a core library but links ${lib}")
            endif()
        endforeach()
    endforeach()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/IncludeLayers.cmake)

# Fails the configuration, and later every build, when a file includes from
# a folder of its own layer or of a layer above it.
function(vantrel_check_include_layers)
    vantrel_find_upward_includes("${PROJECT_SOURCE_DIR}" faults)
    if(faults)
        list(JOIN faults "\n  " shown)
        message(FATAL_ERROR "Includes that point up a layer:\n  ${shown}")
    endif()
    set(stamp "${PROJECT_BINARY_DIR}/include-layers.stamp")
    set(sources "")
    foreach(layer IN LISTS VANTREL_LAYERS)
        string(REPLACE " " ";" folders "${layer}")
        foreach(folder IN LISTS folders)
            file(GLOB_RECURSE found CONFIGURE_DEPENDS
                "${PROJECT_SOURCE_DIR}/${folder}/*.h" "${PROJECT_SOURCE_DIR}/${folder}/*.cpp")
            list(APPEND sources ${found})
        endforeach()
    endforeach()
    add_custom_command(OUTPUT "${stamp}"
        COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DSTAMP=${stamp}
                -P ${PROJECT_SOURCE_DIR}/cmake/IncludeLayers.cmake
        DEPENDS ${sources} ${PROJECT_SOURCE_DIR}/cmake/IncludeLayers.cmake
        COMMENT "Checking that includes point down the layers")
    add_custom_target(vantrel_include_layers ALL DEPENDS "${stamp}")
    get_property(cores GLOBAL PROPERTY VANTREL_CORE_LIBRARIES)
    foreach(core IN LISTS cores)
        add_dependencies(${core} vantrel_include_layers)
    endforeach()
endfunction()

function(vantrel_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE vantrel_options GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Runs the test program `name` once more as the user `user` (name or
# number) when the suite runs as root, which passes permission checks that
# a user does not; `suffix` names the test.
function(vantrel_test_as_user name user group suffix)
    add_test(NAME ${name}_${suffix}
        COMMAND sh -c "if [ \"$(id -u)\" = 0 ]; then exec setpriv --reuid=${user} --regid=${group} --clear-groups \"$@\"; else exec \"$@\"; fi"
            sh $<TARGET_FILE:${name}>)
endfunction()

function(vantrel_test_as_nobody name)
    vantrel_test_as_user(${name} nobody nogroup as_nobody)
endfunction()
