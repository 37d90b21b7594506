# SPDX-License-Identifier: MIT
#
# What a release takes from its sources, each fact kept in one place: the
# copyright line and licence text from LICENSE, the releases and their dates
# from NEWS.md. Sets greet_copyright ("Copyright (c) YEAR HOLDERS"),
# greet_release_date (YYYY-MM-DD) and greet_release_epoch (its midnight UTC
# in seconds, which the date rule in HACKING.md uses), and writes the Debian
# package's copyright file and change log into the build folder.

set(licence_file ${PROJECT_SOURCE_DIR}/LICENSE)
set(news_file ${PROJECT_SOURCE_DIR}/NEWS.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${licence_file} ${news_file})

# write_if_changed FILE TEXT: keeps the file's time when nothing changed, so
# what is made from it is not made again. TEXT is substituted once, as a
# whole, so nothing in it is read as a variable.
function(write_if_changed file text)
  file(CONFIGURE OUTPUT ${file} CONTENT "@text@" @ONLY)
endfunction()

# days_since_epoch OUT YEAR MONTH DAY: the days from 1970-01-01 to a date of
# the Gregorian calendar, year 0 or later.
function(days_since_epoch out year month day)
  # Counted from 1 March, so that the leap day ends the year.
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR month "${month} + 9")
  else()
    math(EXPR month "${month} - 3")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR year_of_era "${year} - ${era} * 400")
  math(EXPR day_of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era
       "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  set(${out} ${days} PARENT_SCOPE)
endfunction()

# Licence: the copyright line, then the text of the licence.
file(READ ${licence_file} licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n+(.+[^\n])\n*$")
  message(FATAL_ERROR "${licence_file}: no line 'Copyright (c) YEAR HOLDERS' before the licence text")
endif()
set(copyright_holders "${CMAKE_MATCH_1}")
set(greet_copyright "Copyright (c) ${copyright_holders}")
# Debian's copyright format indents the text by one space and marks an empty
# line with a lone full stop.
string(REPLACE "\n\n" "\n.\n" licence_text "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " licence_text "${licence_text}")
write_if_changed(${PROJECT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${copyright_holders}
License: Expat
 ${licence_text}
")

# Release notes: after a preamble, for each release newest first a heading
# "## VERSION (YYYY-MM-DD)" and its items "- text", continued on lines
# indented by two spaces. Each becomes an entry of a Debian change log.
file(READ ${news_file} news)
set(weekdays Thu Fri Sat Sun Mon Tue Wed)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(changelog "")
set(trailer "")
set(dates "")
set(line_number 0)
while(NOT news STREQUAL "")
  string(FIND "${news}" "\n" end)
  if(end EQUAL -1)
    set(line "${news}")
    set(news "")
  else()
    string(SUBSTRING "${news}" 0 ${end} line)
    math(EXPR end "${end} + 1")
    string(SUBSTRING "${news}" ${end} -1 news)
  endif()
  math(EXPR line_number "${line_number} + 1")

  if(line MATCHES "^## ([^ ]+) \\(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])\\)$")
    set(version ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_2})
    set(month ${CMAKE_MATCH_3})
    set(day ${CMAKE_MATCH_4})
    set(date ${year}-${month}-${day})
    days_since_epoch(days ${year} ${month} ${day})
    math(EXPR weekday "${days} % 7")
    list(GET weekdays ${weekday} weekday)
    math(EXPR month "${month} - 1")
    list(GET months ${month} month)
    if(NOT DEFINED greet_release_date)
      if(NOT version STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "${news_file}: the newest release is ${version}, the project's "
                            "version ${PROJECT_VERSION}; add what ${PROJECT_VERSION} changes")
      endif()
      set(greet_release_date ${date})
      math(EXPR greet_release_epoch "${days} * 86400")
    elseif(NOT date STRLESS_EQUAL previous_date)
      message(FATAL_ERROR "${news_file}:${line_number}: ${version} is dated after a newer release")
    endif()
    set(previous_date ${date})
    list(LENGTH dates release)
    list(APPEND dates ${date})
    string(APPEND changelog "${trailer}${PROJECT_NAME} (${version}) unstable; urgency=medium\n\n")
    set(trailer
        "\n -- ${CPACK_PACKAGE_CONTACT}  ${weekday}, ${day} ${month} ${year} @time_${release}@ +0000\n\n")
  elseif(NOT DEFINED greet_release_date OR line STREQUAL "")
  elseif(line MATCHES "^- (.+)$")
    string(APPEND changelog "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  ([^ ].*)$")
    string(APPEND changelog "    ${CMAKE_MATCH_1}\n")
  else()
    message(FATAL_ERROR "${news_file}:${line_number}: neither a release heading "
                        "'## VERSION (YYYY-MM-DD)' nor an item '- text' or its continuation")
  endif()
endwhile()
if(NOT DEFINED greet_release_date)
  message(FATAL_ERROR "${news_file}: no release heading '## VERSION (YYYY-MM-DD)'")
endif()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
string(APPEND changelog "${trailer}")
# Each entry is timed at midnight, but a release made the same day as the
# one before it a minute after that one, since Debian's change log must run
# forwards in time.
list(LENGTH dates release)
set(minute 0)
set(older_date "")
while(release GREATER 0)
  math(EXPR release "${release} - 1")
  list(GET dates ${release} date)
  if(date STREQUAL older_date)
    math(EXPR minute "${minute} + 1")
  else()
    set(minute 0)
  endif()
  set(older_date ${date})
  math(EXPR hours "${minute} / 60")
  math(EXPR minutes "${minute} % 60")
  string(REGEX REPLACE "^(.)$" "0\\1" hours ${hours})
  string(REGEX REPLACE "^(.)$" "0\\1" minutes ${minutes})
  string(REPLACE "@time_${release}@" "${hours}:${minutes}:00" changelog "${changelog}")
endwhile()
write_if_changed(${PROJECT_BINARY_DIR}/changelog "${changelog}")
