# Packs the release ZIP (see CMakeLists.txt here). Run with cmake -P and
#   PACKAGE_NAME  the top folder in the ZIP, MorvelRussia-<version>
#   ZIP           the ZIP to write
#   STAGE         a scratch folder of this script's own; emptied first
#   STRIP         the cross strip program (may be empty: nothing is stripped)
#   DLL HOST SCORE DOM INSTALL_TXT LICENSE_TXT   the files to pack
cmake_minimum_required(VERSION 3.25)

foreach(var PACKAGE_NAME ZIP STAGE DLL HOST SCORE DOM INSTALL_TXT LICENSE_TXT)
    if("${${var}}" STREQUAL "")
        message(FATAL_ERROR "make-zip.cmake: ${var} is not set")
    endif()
endforeach()
foreach(var DLL HOST SCORE DOM INSTALL_TXT LICENSE_TXT)
    if(NOT EXISTS "${${var}}" OR IS_DIRECTORY "${${var}}")
        message(FATAL_ERROR "make-zip.cmake: ${var}: no such file: ${${var}}")
    endif()
endforeach()

# Every run starts from an empty folder, so nothing from an earlier package
# (a file since renamed or dropped) can slip in.
set(top "${STAGE}/${PACKAGE_NAME}")
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${top}/Plugins")

# Programs: without symbols and debug information, which the static runtime
# brings in large amounts.
foreach(pair "DLL;MorvelRussia.dll" "HOST;morvel-host.exe" "SCORE;morvel-score.exe")
    list(GET pair 0 var)
    list(GET pair 1 name)
    if(STRIP)
        execute_process(COMMAND "${STRIP}" -o "${top}/${name}" "${${var}}"
                        RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "make-zip.cmake: ${STRIP} failed on ${${var}}: ${result}")
        endif()
    else()
        file(COPY_FILE "${${var}}" "${top}/${name}")
    endif()
endforeach()
file(COPY_FILE "${DOM}" "${top}/Plugins/Russiaobl.dom")
file(COPY_FILE "${INSTALL_TXT}" "${top}/INSTALL.txt")
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
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${partial}" --format=zip "${PACKAGE_NAME}"
    WORKING_DIRECTORY "${STAGE}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${partial}")
    message(FATAL_ERROR "make-zip.cmake: packing ${ZIP} failed: ${result}")
endif()
file(RENAME "${partial}" "${ZIP}")
