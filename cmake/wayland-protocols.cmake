# Wayland client code: libwayland-client, and wayland-scanner's code for the protocols a
# target speaks. Defines WAYLAND_CLIENT_FOUND, and wayland_protocol(TARGET XML) when found.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
    pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
endif()
find_program(WAYLAND_SCANNER wayland-scanner)
# KDE's idle protocol, which compositors without ext-idle-notify-v1 (sway 1.7) offer.
find_path(PLASMA_WAYLAND_PROTOCOLS_DIR idle.xml PATH_SUFFIXES plasma-wayland-protocols
          PATHS /usr/share /usr/local/share NO_DEFAULT_PATH)
if(NOT WAYLAND_CLIENT_FOUND OR NOT WAYLAND_SCANNER OR NOT WAYLAND_PROTOCOLS_DIR)
    set(WAYLAND_CLIENT_FOUND FALSE)
    return()
endif()
# wayland-scanner writes the interface code in C.
enable_language(C)

# Adds the client header and the interface code of the protocol in XML to TARGET; the
# header is <NAME-client-protocol.h>, NAME being the file's name without .xml.
function(wayland_protocol target xml)
    get_filename_component(name ${xml} NAME_WE)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
    set(header ${dir}/${name}-client-protocol.h)
    set(code ${dir}/${name}-protocol.c)
    add_custom_command(OUTPUT ${header} ${code}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
                       COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
                       COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
                       DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${header} ${code})
    target_include_directories(${target} PRIVATE ${dir})
endfunction()
