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

# tapestrel_test_executable(<target> <label> <sources>...)
function(tapestrel_test_executable target label)
    add_executable(${target} ${ARGN})
    tapestrel_autogen_follows_sources(${target} ${ARGN})
    target_link_libraries(${target} PRIVATE TestSupport)
    target_compile_options(${target} PRIVATE ${TAPESTREL_WARNINGS})
    target_precompile_headers(${target} PRIVATE ${TAPESTREL_PCH_HEADERS} <gtest/gtest.h>)
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${label}
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAPESTREL_DEFAULTS_TOOL=${PROJECT_BINARY_DIR}/bin/tapestrel-defaults"
                   TIMEOUT 120)
endfunction()
