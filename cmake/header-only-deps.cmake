# Header-only libraries for the companion programs: CLI11 for options, RapidJSON for
# reading the log, toml++ for the report's rules file. From the system's packages on Linux, from vcpkg with MSVC. The MinGW
# build uses the host's headers but must not see the rest of the host's /usr/include,
# so each library's folder is copied into an include directory of its own in the build
# tree.
function(companion_header_library target header folder)
    if(CMAKE_CROSSCOMPILING)
        find_path(${target}_ROOT ${header} PATHS /usr/include /usr/local/include
                  NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    else()
        find_path(${target}_ROOT ${header})
    endif()
    if(NOT ${target}_ROOT)
        message(FATAL_ERROR "${header} not found: run tools/install-deps (on Windows, the "
                            "msvc preset takes it from vcpkg)")
    endif()
    set(include_dir ${CMAKE_BINARY_DIR}/header-only/${target})
    if(NOT EXISTS ${include_dir}/${folder})
        file(COPY ${${target}_ROOT}/${folder} DESTINATION ${include_dir})
    endif()
    add_library(${target} INTERFACE)
    # SYSTEM: their own warnings are not the project's.
    target_include_directories(${target} SYSTEM INTERFACE ${include_dir})
endfunction()

companion_header_library(cli11 CLI/CLI.hpp CLI)
companion_header_library(rapidjson rapidjson/document.h rapidjson)
companion_header_library(tomlplusplus toml++/toml.h toml++)
# Compiled where it is included (the rules file's reader alone), reading only.
target_compile_definitions(tomlplusplus INTERFACE TOML_HEADER_ONLY=1 TOML_ENABLE_FORMATTERS=0)
