# The version is set once, in project(); the programs read it from a generated
# header, and the package, its metadata and manual pages take it from here.
# data/package/changelog must describe that version: its top entry also gives
# the release date.
set(QUILLON_CHANGELOG ${CMAKE_SOURCE_DIR}/data/package/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLON_CHANGELOG})
file(READ ${QUILLON_CHANGELOG} changelog)
string(REGEX MATCH "^quillon \\(([^)]+)\\)" head "${changelog}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "The top entry of ${QUILLON_CHANGELOG} is for version '${CMAKE_MATCH_1}', "
                      "the project's is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}.")
endif()
string(REGEX MATCH "\n -- [^\n]+  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) "
       trailer "${changelog}")
set(day ${CMAKE_MATCH_1})
set(month_name ${CMAKE_MATCH_2})
set(year ${CMAKE_MATCH_3})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months "${month_name}" month)
if(NOT trailer OR month LESS 0)
  message(FATAL_ERROR "The top entry of ${QUILLON_CHANGELOG} has no trailer line with a valid date.")
endif()
set(month_names January February March April May June July August September October November December)
list(GET month_names ${month} month_name)
set(QUILLON_RELEASE_MONTH "${month_name} ${year}")
math(EXPR month "${month} + 1")
# Seconds since 1970 at the release date, so that generated pages carry that
# date and not the day of the build (days from the civil date, in years that
# start in March).
string(REGEX REPLACE "^0" "" day_number "${day}")
if(month LESS_EQUAL 2)
  math(EXPR y "${year} - 1")
  math(EXPR m "${month} + 9")
else()
  set(y ${year})
  math(EXPR m "${month} - 3")
endif()
math(EXPR QUILLON_RELEASE_EPOCH "((${y} / 400) * 146097 + (${y} % 400) * 365 + (${y} % 400) / 4 - (${y} % 400) / 100
                                  + (153 * ${m} + 2) / 5 + ${day_number} - 1 - 719468) * 86400")
if(month LESS 10)
  set(month 0${month})
endif()
string(LENGTH "${day}" day_digits)
if(day_digits EQUAL 1)
  set(day 0${day})
endif()
set(QUILLON_RELEASE_DATE ${year}-${month}-${day})

file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/quillonversion.h CONTENT
"// Made by CMake from the project's version.
#pragma once
#define QUILLON_VERSION \"${PROJECT_VERSION}\"
")
include_directories(${CMAKE_BINARY_DIR}/generated)
