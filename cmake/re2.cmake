# RE2, the companions' pattern matcher (the sampler never links it), as re2::re2:
# Debian's libre2-dev natively, vcpkg's port with MSVC, and for MinGW Debian's source of
# the same release, which tools/install-deps unpacks, built here as a static library.
if(TARGET re2::re2)
    return()
endif()
if(CMAKE_CROSSCOMPILING)
    set(SAMPLER_RE2_SOURCE_DIR /usr/local/src/re2-2022-06-01
        CACHE PATH "RE2's source, built for the Windows executables")
    if(NOT EXISTS ${SAMPLER_RE2_SOURCE_DIR}/CMakeLists.txt)
        message(FATAL_ERROR "RE2's source not found at ${SAMPLER_RE2_SOURCE_DIR}: run "
                            "tools/install-deps")
    endif()
    set(RE2_BUILD_TESTING OFF CACHE BOOL "" FORCE)
    set(BUILD_SHARED_LIBS OFF)
    # SYSTEM: its own warnings are not the project's.
    add_subdirectory(${SAMPLER_RE2_SOURCE_DIR} ${CMAKE_BINARY_DIR}/re2 EXCLUDE_FROM_ALL SYSTEM)
    return()
endif()
find_package(re2 CONFIG QUIET)
if(TARGET re2::re2)
    return()
endif()
find_path(RE2_INCLUDE_DIR re2/re2.h)
find_library(RE2_LIBRARY re2)
if(NOT RE2_INCLUDE_DIR OR NOT RE2_LIBRARY)
    message(FATAL_ERROR "RE2 not found: run tools/install-deps (on Windows, the msvc preset "
                        "takes it from vcpkg)")
endif()
find_package(Threads REQUIRED)
add_library(re2::re2 UNKNOWN IMPORTED)
set_target_properties(re2::re2 PROPERTIES IMPORTED_LOCATION ${RE2_LIBRARY}
                                          INTERFACE_INCLUDE_DIRECTORIES ${RE2_INCLUDE_DIR}
                                          INTERFACE_LINK_LIBRARIES Threads::Threads)
