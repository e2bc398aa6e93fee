# The PE headers and resources of the images the release ships (MorvelRussia.dll,
# morvel-host.exe, morvel-score.exe); scripts/check-hardening.py checks them.
#
# Every image: loaded at any address (DYNAMIC_BASE, with its relocation table),
# its data never executed (NX_COMPAT), no structured exception handler in it
# (NO_SEH: C++ exceptions unwind by DWARF-2 tables, and no code in the image,
# the runtime's start-up included, puts a handler on the thread's SEH chain;
# the programs' unhandled-exception filters are no such handler), and the
# stack protector's run-time support of module/runtime/ instead of libssp's.
# Programs also: terminal-server aware (TSAWARE), and resources made from
# tools/program.rc.in: an application manifest (resource 1, made from
# tools/program.manifest.in): run with the rights of whoever starts them, made
# for Windows Vista to 11. It declares no DPI awareness (morvel-host plays a
# DPI-unaware logger, and the end-to-end cases count on that) and no Common
# Controls 6 dependency (their controls stay those of version 5, as without a
# manifest). And the version information: the project's name and version, the
# program's file name and DESCRIPTION (required for a program).
#
#   morvel_harden_image(target [DESCRIPTION text])

function(morvel_harden_image target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION" "")
    target_link_libraries(${target} PRIVATE morvel_stack_protector)
    target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-seh)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        if(NOT arg_DESCRIPTION)
            message(FATAL_ERROR "morvel_harden_image(${target}): a program needs a DESCRIPTION")
        endif()
        target_link_options(${target} PRIVATE -Wl,--tsaware)
        set(MORVEL_PROGRAM ${target})
        set(MORVEL_DESCRIPTION ${arg_DESCRIPTION})
        set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
        set(resources ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
        configure_file(${PROJECT_SOURCE_DIR}/tools/program.manifest.in ${manifest} @ONLY)
        configure_file(${PROJECT_SOURCE_DIR}/tools/program.rc.in ${resources} @ONLY)
        target_sources(${target} PRIVATE ${resources})
        set_source_files_properties(${resources} PROPERTIES OBJECT_DEPENDS ${manifest})
    endif()
endfunction()
