# veltrane_wayland_protocols(<target> <xml>...): generates the client code of each
# Wayland protocol with wayland-scanner at build time and adds it to <target>,
# whose sources then include "<protocol>-client-protocol.h".
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

function(veltrane_wayland_protocols target)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}-protocols)
  file(MAKE_DIRECTORY ${generated})
  foreach(xml ${ARGN})
    get_filename_component(protocol ${xml} NAME_WE)
    set(header ${generated}/${protocol}-client-protocol.h)
    set(code ${generated}/${protocol}-protocol.c)
    add_custom_command(OUTPUT ${header} ${code}
                       COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
                       COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
                       DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${header} ${code})
  endforeach()
  target_include_directories(${target} PRIVATE ${generated})
endfunction()
