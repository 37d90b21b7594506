# SPDX-FileCopyrightText: 2026 The greet authors
# SPDX-License-Identifier: MIT
#
# The packing script, run by cpack's External generator once the components
# (or, for the source archive, the files stage-sources.cmake names) are
# staged. It makes the run's archives in a scratch folder with the field's
# own tools, signs them, and hands them to cpack, which copies them out and
# writes their checksums, only when all of them succeeded. HACKING.md has
# the rules it keeps.
cmake_policy(VERSION 3.25)

set(stage ${CPACK_TEMPORARY_DIRECTORY})
set(scratch ${CPACK_TOPLEVEL_DIRECTORY}/greet)
set(archives ${CPACK_GREET_THIS_RUN})
file(REMOVE_RECURSE ${scratch})
file(MAKE_DIRECTORY ${scratch}/bin)

# fail TEXT...: stops the run, which hands nothing over; cpack-settings.cmake
# has removed the earlier run's files.
function(fail)
  list(JOIN ARGN "" text)
  list(JOIN archives ", " names)
  message(FATAL_ERROR "${text}\nPackaging failed, so none of ${names} is left.")
endfunction()

# run TOOL ARG...: runs a tool in the scratch folder; its failure stops the run.
function(run tool)
  execute_process(COMMAND ${tool} ${ARGN} WORKING_DIRECTORY ${scratch} OUTPUT_QUIET
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("${tool} failed (${status}).")
  endif()
endfunction()

# touch -t, which the BSDs' touch takes too, reads the stamp in the time
# zone, as zip records times: UTC here. cpack-settings.cmake set the date.
set(ENV{TZ} UTC0)
string(TIMESTAMP stamp "%Y%m%d%H%M.%S" UTC)

# tree DIR STAGED...: DIR holds the staged folders merged, modes 0755 for
# folders and programs and 0644 for the rest, every entry dated.
function(tree dir)
  foreach(staged IN LISTS ARGN)
    file(COPY ${staged}/ DESTINATION ${dir})
  endforeach()
  run(chmod -R u=rwX,go=rX ${dir})
  run(find ${dir} -exec touch -h -t ${stamp} {} +)
endfunction()

if(NOT archives MATCHES "^[^;]*\\.zip$")
  if(NOT CPACK_GREET_TAR)
    fail("Packaging needs GNU tar, as gtar or tar, when the build is configured.")
  endif()
  # dpkg-deb runs the first tar on PATH.
  file(CREATE_LINK ${CPACK_GREET_TAR} ${scratch}/bin/tar SYMBOLIC)
  set(ENV{PATH} "${scratch}/bin:$ENV{PATH}")
endif()

foreach(archive IN LISTS archives)
  string(REGEX REPLACE "\\.(tar\\.gz|zip)$" "" top ${archive})
  if(archive STREQUAL CPACK_GREET_SOURCE_ARCHIVE)
    tree(${scratch}/${top} ${stage})
  elseif(NOT archive MATCHES "\\.deb$")
    tree(${scratch}/${top} ${stage}/program ${stage}/notes)
  endif()
  if(archive MATCHES "\\.tar\\.gz$")
    # GNU tar's gnu format, whose headers tar 1.34 and 1.35 write alike.
    run(${CPACK_GREET_TAR} --create --format=gnu --sort=name --owner=root:0 --group=root:0
        --file=${top}.tar ${top})
    run(gzip -9n ${top}.tar)
  elseif(archive MATCHES "\\.zip$")
    # -X leaves out the extra fields that record the owner and the times.
    file(GLOB_RECURSE members LIST_DIRECTORIES true RELATIVE ${scratch} ${scratch}/${top}/*)
    list(SORT members)
    run(zip -X -9 -q ${archive} ${top} ${members})
  elseif(archive MATCHES "\\.deb$")
    # As Debian's own tools make a package: dpkg-shlibdeps names its
    # libraries, dpkg-gencontrol writes its control file, counting
    # Installed-Size on the files it installs, and dpkg-deb packs it.
    set(root ${scratch}/deb)
    tree(${root}/usr ${stage}/program ${stage}/debian)
    # Writable, as dpkg-gencontrol locks debian/control, also when the
    # sources it came from are read-only.
    file(COPY ${CPACK_GREET_BINARY_DIR}/debian/control ${CPACK_GREET_BINARY_DIR}/changelog
         DESTINATION ${scratch}/debian NO_SOURCE_PERMISSIONS)
    set(ENV{DEB_HOST_ARCH} ${CPACK_GREET_DEB_ARCH})
    # dpkg-shlibdeps knows the package's tree by its DEBIAN folder, which
    # dpkg-gencontrol would count.
    file(MAKE_DIRECTORY ${root}/DEBIAN)
    run(dpkg-shlibdeps -Tdebian/substvars -e${root}/usr/bin/greet)
    file(REMOVE_RECURSE ${root}/DEBIAN)
    run(dpkg-gencontrol -P${root} -O${scratch}/control)
    file(COPY ${scratch}/control DESTINATION ${root}/DEBIAN)
    run(sh -c "cd deb && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums")
    tree(${root})
    run(dpkg-deb --root-owner-group --build ${root} ${archive})
  else()
    fail("pack-script.cmake has no way to pack ${archive}.")
  endif()
endforeach()

# Every archive is signed before any signature is copied out.
if(NOT "$ENV{GREET_SIGNING_KEY}" STREQUAL "")
  find_program(GREET_GPG NAMES gpg gpg2)
  if(NOT GREET_GPG)
    fail("GREET_SIGNING_KEY asks for signatures, and gpg cannot be found.")
  endif()
  foreach(archive IN LISTS archives)
    execute_process(COMMAND ${GREET_GPG} --batch --yes --armor --local-user $ENV{GREET_SIGNING_KEY}
                            --output ${scratch}/${archive}.asc --detach-sign ${scratch}/${archive}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      fail("gpg could not sign ${archive} with the key '$ENV{GREET_SIGNING_KEY}' that "
           "GREET_SIGNING_KEY names.")
    endif()
  endforeach()
  foreach(archive IN LISTS archives)
    file(COPY_FILE ${scratch}/${archive}.asc ${CPACK_PACKAGE_DIRECTORY}/${archive}.asc)
  endforeach()
endif()

# The External generator copies out, as NAME.json, its description of the
# run, which holds the build's path, from a stream it still writes to: the
# file is removed, which cuts the stream off, and the name is taken over by
# the list of the archives.
set(json ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.json)
file(REMOVE ${json})
list(JOIN archives "\", \"" list)
file(WRITE ${json} "{ \"archives\": [ \"${list}\" ] }\n")
list(TRANSFORM archives PREPEND ${scratch}/ OUTPUT_VARIABLE CPACK_EXTERNAL_BUILT_PACKAGES)
