# Fails when a folder includes a header of a folder it may not use. The order, from the top:
#   kiosk -> visit -> postings | inquiries -> printing -> widgets -> app
# Each folder may include its own headers and those of every folder below it; postings and
# inquiries stand side by side and use neither the other. Nothing includes kiosk/ but its tests.
#   cmake -DROOT=<source tree> -P cmake/CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
    message(FATAL_ERROR "ROOT is required")
endif()

set(below_app "")
set(below_widgets app)
set(below_printing widgets app)
set(below_postings printing widgets app)
set(below_inquiries printing widgets app)
set(below_visit postings inquiries printing widgets app)
set(below_kiosk visit postings inquiries printing widgets app)
set(layers app widgets printing postings inquiries visit kiosk)
# The tools measure the folders without being part of the program; the fault-injection run
# drives the servers and the proxy of the tests' support (tests/support).
set(below_tools visit postings inquiries printing widgets app support)

set(broken "")
foreach(folder ${layers} tools tests)
    file(GLOB_RECURSE sources LIST_DIRECTORIES false "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
    foreach(source ${sources})
        file(RELATIVE_PATH name "${ROOT}" "${source}")
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
        foreach(line ${includes})
            string(REGEX REPLACE "^[^\"]*\"([^\"/]*)/.*$" "\\1" target "${line}")
            if(folder STREQUAL "tests")
                # Tests reach every folder; only the program's own is kiosk's tests' alone.
                if(target STREQUAL "kiosk" AND NOT name MATCHES "^tests/kiosk/")
                    list(APPEND broken "${name} includes ${target}/")
                endif()
                continue()
            endif()
            if(target STREQUAL folder OR target IN_LIST below_${folder})
                continue()
            endif()
            list(APPEND broken "${name} includes ${target}/")
        endforeach()
    endforeach()
endforeach()

if(broken)
    list(JOIN broken "\n  " text)
    message(FATAL_ERROR "Includes against the order of the folders:\n  ${text}")
endif()
message(STATUS "Every include points down")
