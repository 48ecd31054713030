cmake_minimum_required(VERSION 3.25)
# Joins the files of this folder into one load script for the mariadb client.
#   cmake -DOUT=file [-DKIOSK_DB=kalinda] [-DKIOSK_USER=...] [-DKIOSK_PASSWORD=...]
#         [-DKIOSK_HOSTS="localhost;127.0.0.1"] [-DWITH_DEMO=ON] [-DWITH_DEMO_GUARDS=ON]
#         [-DUSERS_ONLY=ON] [-DUPGRADE=ON] [-DKIOSK_REQUIRE_TLS=SSL|X509]
#         [-DKIOSK_TLS_SUBJECT="/CN=kalinda-kiosk"] [-DOFFICE_USER=kalinda_kantor]
#         [-DOFFICE_PASSWORD=...] [-DOFFICE_HOSTS="192.168.10.5"] [-DOFFICE_ONLY=ON]
#         -P sql/assemble.cmake
# KIOSK_HOSTS lists the host patterns the kiosk's user may connect from, separated by ";",
# "," or spaces: addresses, names or patterns such as 192.168.10.%. USERS_ONLY writes only the
# kiosk's role and the shared user, for a school database that is already loaded; UPGRADE only
# the audit, the ledger's guard of the kiosk's rows, the kiosk's indexes, its heartbeat table,
# its posting marks and the kiosk accounts' routines and watchdog, for a school database loaded
# before them. KIOSK_REQUIRE_TLS lets the kiosk's user in only over TLS
# (SSL), or only with a client certificate its CA signed (X509), or that certificate's subject
# (KIOSK_TLS_SUBJECT); off by default. OFFICE_USER adds the office's user that runs the audit
# (41-office-user.sql), from OFFICE_HOSTS (default: the kiosk's host patterns); OFFICE_ONLY
# writes only that user, for a database that is already loaded.
if(NOT OUT)
    message(FATAL_ERROR "OUT is required")
endif()
if(NOT KIOSK_DB)
    set(KIOSK_DB kalinda)
endif()
if(NOT KIOSK_USER)
    set(KIOSK_USER kalinda_kiosk)
endif()
if(NOT DEFINED KIOSK_PASSWORD)
    set(KIOSK_PASSWORD kalinda-demo)
endif()
if(NOT KIOSK_HOSTS)
    set(KIOSK_HOSTS "localhost;127.0.0.1")
endif()
if(NOT DEFINED WITH_DEMO)
    set(WITH_DEMO ON)
endif()

# Names go into the SQL as they are: only characters that need no quoting are taken.
if(NOT KIOSK_DB MATCHES "^[A-Za-z0-9_$-]+$")
    message(FATAL_ERROR "KIOSK_DB '${KIOSK_DB}': only letters, digits, _, $ and -")
endif()
if(NOT KIOSK_USER MATCHES "^[A-Za-z0-9_.$-]+$")
    message(FATAL_ERROR "KIOSK_USER '${KIOSK_USER}': only letters, digits, _, ., $ and -")
endif()
# A list of host patterns from text separated by ";", "," or spaces, each checked.
function(host_patterns name text out)
    string(REGEX REPLACE "[ ,;]+" ";" list "${text}")
    list(REMOVE_ITEM list "")
    list(REMOVE_DUPLICATES list)
    foreach(host ${list})
        if(NOT host MATCHES "^[A-Za-z0-9_.%:/-]+$")
            message(FATAL_ERROR "${name} '${host}': not a host pattern")
        endif()
    endforeach()
    if(NOT list)
        message(FATAL_ERROR "${name} names no host")
    endif()
    set(${out} "${list}" PARENT_SCOPE)
endfunction()
host_patterns(KIOSK_HOSTS "${KIOSK_HOSTS}" hosts)
if(OFFICE_ONLY AND NOT OFFICE_USER)
    message(FATAL_ERROR "OFFICE_ONLY needs OFFICE_USER")
endif()
if(OFFICE_USER)
    if(NOT OFFICE_USER MATCHES "^[A-Za-z0-9_.$-]+$" OR OFFICE_USER STREQUAL KIOSK_USER)
        message(FATAL_ERROR "OFFICE_USER '${OFFICE_USER}': only letters, digits, _, ., $ and -, "
                            "and not the kiosk's user")
    endif()
    if(NOT OFFICE_HOSTS)
        set(OFFICE_HOSTS "${hosts}")
    endif()
    host_patterns(OFFICE_HOSTS "${OFFICE_HOSTS}" office_hosts)
endif()

if(KIOSK_TLS_SUBJECT)
    if(NOT KIOSK_TLS_SUBJECT MATCHES "^[A-Za-z0-9 /=.,_@-]+$")
        message(FATAL_ERROR "KIOSK_TLS_SUBJECT '${KIOSK_TLS_SUBJECT}': not a plain subject")
    endif()
    set(require "SUBJECT '${KIOSK_TLS_SUBJECT}'")
elseif(NOT KIOSK_REQUIRE_TLS OR KIOSK_REQUIRE_TLS STREQUAL "NONE")
    set(require NONE)
elseif(KIOSK_REQUIRE_TLS MATCHES "^(SSL|X509)$")
    set(require ${KIOSK_REQUIRE_TLS})
else()
    message(FATAL_ERROR "KIOSK_REQUIRE_TLS '${KIOSK_REQUIRE_TLS}': OFF, SSL or X509")
endif()

# A password between single quotes: backslashes doubled, quotes doubled.
function(quoted_password text out)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "'" "''" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
quoted_password("${KIOSK_PASSWORD}" password)

set(dir "${CMAKE_CURRENT_LIST_DIR}")
# The role that holds the kiosk's rights on this kiosk schema, for every kiosk account.
set(KIOSK_ROLE "peran_kiosk_${KIOSK_DB}")

# A file's text with the deployment's names in place.
function(sql_text file out)
    file(READ "${dir}/${file}" text)
    string(REPLACE "@KIOSK_DB@" "${KIOSK_DB}" text "${text}")
    string(REPLACE "@KIOSK_USER@" "${KIOSK_USER}" text "${text}")
    string(REPLACE "@KIOSK_ROLE@" "${KIOSK_ROLE}" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The kiosk's role once, then the shared user, once for each host pattern. The password goes in
# last, so that nothing in it is taken for a placeholder.
set(users "")
if(NOT OFFICE_ONLY)
    sql_text(40-kiosk-role.sql role)
    set(users "-- 40-kiosk-role.sql\n${role}\n")
endif()
sql_text(40-users.sql template)
foreach(host ${hosts})
    if(OFFICE_ONLY)
        break()
    endif()
    string(REPLACE "@KIOSK_HOST@" "${host}" text "${template}")
    string(REPLACE "@KIOSK_REQUIRE@" "${require}" text "${text}")
    string(REPLACE "@KIOSK_PASSWORD@" "${password}" text "${text}")
    string(APPEND users "-- 40-users.sql for ${host}\n${text}\n")
endforeach()
if(OFFICE_USER)
    quoted_password("${OFFICE_PASSWORD}" office_password)
    sql_text(41-office-user.sql template)
    string(REPLACE "@OFFICE_USER@" "${OFFICE_USER}" template "${template}")
    foreach(host ${office_hosts})
        string(REPLACE "@OFFICE_HOST@" "${host}" text "${template}")
        string(REPLACE "@OFFICE_PASSWORD@" "${office_password}" text "${text}")
        string(APPEND users "-- 41-office-user.sql for ${host}\n${text}\n")
    endforeach()
endif()

set(script "SET NAMES utf8mb4;\n")
if(USERS_ONLY OR OFFICE_ONLY)
    string(APPEND script "${users}")
    file(WRITE "${OUT}" "${script}")
    return()
endif()
# The files that add to a loaded database and can run on it again.
set(additions 35-audit-kiosk.sql 36-guard-kiosk.sql 36-invisible-columns.sql 37-kiosk-indexes.sql
    38-kiosk-heartbeat.sql 39-posting-marks.sql 41-kiosk-accounts.sql)
if(UPGRADE)
    foreach(f ${additions})
        sql_text(${f} text)
        string(APPEND script "-- ${f}\n${text}\n")
    endforeach()
    file(WRITE "${OUT}" "${script}")
    return()
endif()

foreach(f 10-cashless-adm.sql 20-aio-kirna.sql 30-kiosk.sql ${additions})
    sql_text(${f} text)
    string(APPEND script "-- ${f}\n${text}\n")
endforeach()
string(APPEND script "${users}")
if(WITH_DEMO)
    sql_text(50-demo-data.sql text)
    string(APPEND script "-- 50-demo-data.sql\n${text}\n")
    # The demo switches the kiosk's guards on; the tests' database keeps them off.
    if(WITH_DEMO_GUARDS)
        sql_text(60-demo-guards.sql text)
        string(APPEND script "-- 60-demo-guards.sql\n${text}\n")
    endif()

    string(APPEND script "USE `cashless-adm`;\n")
    file(GLOB photos "${dir}/photos/*.jpg")
    list(SORT photos)
    foreach(photo ${photos})
        get_filename_component(id "${photo}" NAME_WE)
        file(READ "${photo}" hex HEX)
        string(APPEND script "INSERT INTO data_nasabah_foto (foto_kode, foto_file) VALUES ('${id}', X'${hex}');\n")
    endforeach()
endif()

file(WRITE "${OUT}" "${script}")
