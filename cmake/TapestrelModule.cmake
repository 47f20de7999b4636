# Shared build rules for the project's modules.
#
# tapestrel_module(<name> [DEPS <targets>...])
#   One static library from every .cpp/.h below the module folder, tests/ excepted. Headers are
#   included from the repository root: #include "KivUtilities/Version.h".
#   When <module>/tests/ holds sources, they form <name>_tests, registered with CTest under the
#   label <name>.

set(TAPESTREL_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wno-error=deprecated-declarations)
if(TAPESTREL_FUZZ)
    # The fuzzing build uses another compiler, whose warnings the project's builds never see.
    list(REMOVE_ITEM TAPESTREL_WARNINGS -Werror)
endif()

set(TAPESTREL_PCH_HEADERS
    <QtCore/QObject>
    <QtCore/QString>
    <QtCore/QList>
    <QtCore/QHash>
    <QtCore/QVariant>
    <QtCore/QDateTime>
    <optional>
    <memory>
    <functional>)

# Ninja builds of CMake 3.25 run moc again only when a file it has already scanned changes, so a
# header with Q_OBJECT that a glob has just picked up would never be moc'ed in an existing build
# folder (the link then fails for want of its vtable). When a target's source list differs from the
# one of the last configure run, its autogen stamp is removed, which makes ninja run moc again.
function(tapestrel_autogen_follows_sources target)
    set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_sources.txt)
    string(REPLACE ";" "\n" content "${ARGN}")
    set(previous "")
    if(EXISTS ${list_file})
        file(READ ${list_file} previous)
    endif()
    if(NOT previous STREQUAL content)
        file(WRITE ${list_file} "${content}")
        file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp)
    endif()
endfunction()

function(tapestrel_module name)
    cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    list(FILTER sources EXCLUDE REGEX "/tests/")
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    set(compiled ${sources})
    list(FILTER compiled INCLUDE REGEX "\\.cpp$")
    if(NOT compiled)
        # A module whose code has not arrived yet still gives its dependants a target to name.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    tapestrel_autogen_follows_sources(${name} ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    target_compile_options(${name} PRIVATE ${TAPESTREL_WARNINGS})
    target_precompile_headers(${name} PRIVATE ${TAPESTREL_PCH_HEADERS})

    if(TAPESTREL_BUILD_TESTS)
        file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.h
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.qrc)
        if(test_sources)
            tapestrel_test_executable(${name}_tests ${name} ${test_sources})
            target_link_libraries(${name}_tests PRIVATE ${name} ${ARG_TEST_DEPS})
        endif()
    endif()
endfunction()

# tapestrel_layer(<name> [TOP] DIRS <folders>... [FILES <files>...] [LAYERS <layers>...] [DEPS <targets>...])
#   One layer of a module that is built in layers (Tapestrel/): a static library of the .cpp/.h below
#   each folder (tests/ and main.cpp excepted; "." is the module folder's own files, without its
#   subfolders) and the FILES (resources). It links the LAYERS it builds on, which must have been made
#   before it, so that the layers form a chain without cycle, and its other DEPS. In the test builds
#   <name>_alone links the whole library with nothing but those, so that a use of a layer above it
#   fails to link; the TOP layer, above all others, has none. tapestrel_layer_checks() adds the test
#   of the layers' includes.
function(tapestrel_layer name)
    cmake_parse_arguments(ARG "TOP" "" "DIRS;FILES;LAYERS;DEPS" ${ARGN})
    set(sources)
    foreach(dir IN LISTS ARG_DIRS)
        if(dir STREQUAL ".")
            file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        else()
            set(folder ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
            file(GLOB_RECURSE found CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h ${folder}/*.qrc)
        endif()
        list(APPEND sources ${found})
    endforeach()
    list(FILTER sources EXCLUDE REGEX "/tests/")
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    list(TRANSFORM ARG_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    list(APPEND sources ${ARG_FILES})
    get_property(known GLOBAL PROPERTY TAPESTREL_LAYERS)
    foreach(layer IN LISTS ARG_LAYERS)
        if(NOT layer IN_LIST known)
            message(FATAL_ERROR "The layer ${name} builds on ${layer}, which is not a layer below it")
        endif()
    endforeach()

    add_library(${name} STATIC ${sources})
    tapestrel_autogen_follows_sources(${name} ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LAYERS} ${ARG_DEPS})
    target_compile_options(${name} PRIVATE ${TAPESTREL_WARNINGS})
    # The layers are compiled alike: the lowest one's precompiled headers serve them all.
    if(known)
        list(GET known 0 lowest)
        target_precompile_headers(${name} REUSE_FROM ${lowest})
    else()
        target_precompile_headers(${name} PRIVATE ${TAPESTREL_PCH_HEADERS})
    endif()

    set_property(GLOBAL APPEND PROPERTY TAPESTREL_LAYERS ${name})
    list(JOIN ARG_DIRS "," dirs)
    list(JOIN ARG_LAYERS "," layers)
    set_property(GLOBAL APPEND PROPERTY TAPESTREL_LAYER_LINES "${name}|${dirs}|${layers}")

    if(TAPESTREL_BUILD_TESTS AND NOT ARG_TOP)
        set(main ${PROJECT_BINARY_DIR}/layer_alone_main.cpp)
        if(NOT EXISTS ${main})
            file(WRITE ${main} "int main() { return 0; }\n")
        endif()
        # Every object of the layer, so that each of its uses must be found in the layers below.
        add_executable(${name}_alone ${main})
        target_link_libraries(${name}_alone PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
        # Never run: a smaller file links faster.
        target_link_options(${name}_alone PRIVATE -Wl,--strip-debug)
        set_target_properties(${name}_alone PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
endfunction()

# tapestrel_layer_checks(<module>)
#   The test <module>.layers: the includes of the module's headers in each layer name only the layer
#   itself and those it builds on, and every source of the module is in a layer.
function(tapestrel_layer_checks module)
    if(NOT TAPESTREL_BUILD_TESTS)
        return()
    endif()
    get_property(lines GLOBAL PROPERTY TAPESTREL_LAYER_LINES)
    string(REPLACE ";" "\n" content "${lines}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/layers.txt "${content}\n")
    add_test(NAME ${module}.layers
             COMMAND ${CMAKE_COMMAND} -DLAYERS_FILE=${CMAKE_CURRENT_BINARY_DIR}/layers.txt
                     -DMODULE=${module} -DMODULE_DIR=${CMAKE_CURRENT_SOURCE_DIR}
                     -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake)
    set_tests_properties(${module}.layers PROPERTIES LABELS ${module} TIMEOUT 60)
endfunction()

# tapestrel_test_executable(<target> <label> <sources>...)
function(tapestrel_test_executable target label)
    add_executable(${target} ${ARGN})
    tapestrel_autogen_follows_sources(${target} ${ARGN})
    target_link_libraries(${target} PRIVATE TestSupport)
    target_compile_options(${target} PRIVATE ${TAPESTREL_WARNINGS})
    target_precompile_headers(${target} PRIVATE ${TAPESTREL_PCH_HEADERS} <gtest/gtest.h>)
    # The test programs find the defaults tool beside them in bin/. ENVIRONMENT holds one variable:
    # PROPERTIES is itself a list, and a second one would shift TIMEOUT onto a wrong name.
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${label}
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                   TIMEOUT 120)
endfunction()
