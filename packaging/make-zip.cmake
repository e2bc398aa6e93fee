# Packs the release ZIP (see CMakeLists.txt here) and writes the plug-in's
# debug information beside it. Run with cmake -P and
#   PACKAGE_NAME  the top folder in the ZIP, MorvelRussia-<version>
#   ZIP           the ZIP to write
#   DEBUG_FILE    the debug information to write, MorvelRussia.dll.debug
#   STAGE         a scratch folder of this script's own; emptied first
#   STRIP OBJCOPY the cross strip and objcopy programs
#   SOURCE_DIR    the source tree, whose last commit dates the package
#   DLL HOST SCORE DOM INSTALL_TXT GUIDE_TXT LICENSE_TXT   the files to pack
#
# The same sources give the same bytes: every time written comes from the
# environment's SOURCE_DATE_EPOCH when it is set, else from the committer time
# of the source tree's HEAD, else (a source tree outside git) from a fixed
# time; the ZIP is written by write-zip.py.
cmake_minimum_required(VERSION 3.25)

foreach(var PACKAGE_NAME ZIP DEBUG_FILE STAGE STRIP OBJCOPY SOURCE_DIR DLL HOST SCORE DOM
            INSTALL_TXT GUIDE_TXT LICENSE_TXT)
    if("${${var}}" STREQUAL "")
        message(FATAL_ERROR "make-zip.cmake: ${var} is not set")
    endif()
endforeach()
foreach(var DLL HOST SCORE DOM INSTALL_TXT GUIDE_TXT LICENSE_TXT)
    if(NOT EXISTS "${${var}}" OR IS_DIRECTORY "${${var}}")
        message(FATAL_ERROR "make-zip.cmake: ${var}: no such file: ${${var}}")
    endif()
endforeach()

# Seconds since 1970, UTC.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "make-zip.cmake: SOURCE_DATE_EPOCH is '${epoch}', "
                            "not a number of seconds since 1970")
    endif()
elseif(EXISTS "${SOURCE_DIR}/.git")
    find_program(GIT git)
    if(GIT)
        execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" log -1 --format=%ct
                        OUTPUT_VARIABLE epoch ERROR_VARIABLE git_error
                        RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_STRIP_TRAILING_WHITESPACE)
    else()
        set(result "git is not installed")
    endif()
    if(NOT result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "make-zip.cmake: cannot read the time of the last commit in "
                            "${SOURCE_DIR} (${result}) ${git_error}\n"
                            "Set SOURCE_DATE_EPOCH to the time to give the package.")
    endif()
else()
    # 1980-01-01 00:00:00 UTC, the earliest time a ZIP holds.
    set(epoch 315532800)
endif()
# strip and objcopy write the time into the header of every PE file they
# write; without SOURCE_DATE_EPOCH, the time they run.
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")

# Every run starts from an empty folder, so nothing from an earlier package
# (a file since renamed or dropped) can slip in, and without the outputs of an
# earlier run: an interrupted run leaves no ZIP or debug information of
# another build.
set(top "${STAGE}/${PACKAGE_NAME}")
file(REMOVE_RECURSE "${STAGE}")
file(REMOVE "${ZIP}" "${DEBUG_FILE}")
file(MAKE_DIRECTORY "${top}/Plugins")

# The plug-in's debug information goes beside the ZIP. The programs are packed
# without symbols and debug information (the static runtime brings in large
# amounts), the plug-in with a link to its debug information by file name and
# CRC; its build id, in the debug directory both keep, ties the two together.
function(run_tool what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "make-zip.cmake: ${what} failed: ${result}")
    endif()
endfunction()
run_tool("${OBJCOPY} --only-keep-debug on ${DLL}"
         "${OBJCOPY}" --only-keep-debug "${DLL}" "${DEBUG_FILE}.partial")
file(RENAME "${DEBUG_FILE}.partial" "${DEBUG_FILE}")
foreach(pair "DLL;MorvelRussia.dll" "HOST;morvel-host.exe" "SCORE;morvel-score.exe")
    list(GET pair 0 var)
    list(GET pair 1 name)
    run_tool("${STRIP} on ${${var}}" "${STRIP}" -o "${top}/${name}" "${${var}}")
endforeach()
run_tool("${OBJCOPY} --add-gnu-debuglink on MorvelRussia.dll"
         "${OBJCOPY}" "--add-gnu-debuglink=${DEBUG_FILE}" "${top}/MorvelRussia.dll")
file(COPY_FILE "${DOM}" "${top}/Plugins/Russiaobl.dom")
file(COPY_FILE "${INSTALL_TXT}" "${top}/INSTALL.txt")
file(COPY_FILE "${GUIDE_TXT}" "${top}/GUIDE.txt")
file(COPY_FILE "${LICENSE_TXT}" "${top}/LICENSE.txt")

# SHA256SUMS as sha256sum writes it: "<hash>  <path>", one line for every
# other file of the package, paths relative to the package folder with '/',
# LF line ends; sorted, so the file reads the same from build to build.
file(GLOB_RECURSE packed RELATIVE "${top}" LIST_DIRECTORIES false "${top}/*")
list(SORT packed)
set(sums "")
foreach(path IN LISTS packed)
    file(SHA256 "${top}/${path}" hash)
    string(APPEND sums "${hash}  ${path}\n")
endforeach()
file(WRITE "${top}/SHA256SUMS" "${sums}")

# Written beside the ZIP and renamed into place: an interrupted run leaves no
# ZIP that looks finished.
set(partial "${ZIP}.partial")
file(REMOVE "${partial}")
execute_process(
    COMMAND python3 "${CMAKE_CURRENT_LIST_DIR}/write-zip.py" "${STAGE}" "${PACKAGE_NAME}"
            "${partial}" "${epoch}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${partial}")
    message(FATAL_ERROR "make-zip.cmake: packing ${ZIP} failed: ${result}")
endif()
file(RENAME "${partial}" "${ZIP}")
