# SPDX-License-Identifier: MIT
#
# The packing step: run by cpack's External generator once the components
# (or, for the source archive, the files source-files.cmake names) are
# staged. It makes every archive of the run in a scratch folder with the
# field's own tools, signs them, and hands them to cpack, which copies them
# out and writes their checksums, only when all of them succeeded. The
# release rules it keeps are in HACKING.md.
cmake_policy(VERSION 3.25)

set(out ${CPACK_PACKAGE_DIRECTORY})
set(stage ${CPACK_TEMPORARY_DIRECTORY})
set(scratch ${CPACK_TOPLEVEL_DIRECTORY}/greet)
set(json ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.json)
if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  set(archives ${CPACK_GREET_SOURCE_ARCHIVE})
else()
  set(archives ${CPACK_GREET_ARCHIVES})
endif()
list(JOIN archives ", " names)

# An earlier run's archives of this kind go first, so that a failure from
# here on leaves none of them.
foreach(file IN LISTS archives ITEMS ${CPACK_PACKAGE_FILE_NAME}.json)
  file(REMOVE ${out}/${file} ${out}/${file}.sha256 ${out}/${file}.asc)
endforeach()
file(REMOVE_RECURSE ${scratch})
file(MAKE_DIRECTORY ${scratch}/bin)

# fail TEXT: stops the run, which hands nothing over.
function(fail)
  list(JOIN ARGN "" text)
  message(FATAL_ERROR "${text}\nPackaging failed, so none of ${names} is left.")
endfunction()

# run COMMAND...: runs a tool in the scratch folder, stopping the run when
# it fails.
function(run tool)
  execute_process(COMMAND ${tool} ${ARGN} WORKING_DIRECTORY ${scratch} OUTPUT_QUIET
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("${tool} failed (${status}).")
  endif()
endfunction()

# The date (HACKING.md's rule) is set by cpack.cmake. touch -t, which the
# BSDs' touch takes too, reads the stamp in the time zone, as zip records
# times: UTC here.
set(ENV{TZ} UTC0)
string(TIMESTAMP stamp "%Y%m%d%H%M.%S" UTC)

# tree DIR STAGED...: DIR holds the staged folders merged, modes 0755 for
# folders and programs and 0644 for the rest, every entry dated.
function(tree dir)
  file(MAKE_DIRECTORY ${dir})
  foreach(staged IN LISTS ARGN)
    file(COPY ${staged}/ DESTINATION ${dir})
  endforeach()
  run(chmod -R u=rwX,go=rX ${dir})
  run(find ${dir} -exec touch -h -t ${stamp} {} +)
endfunction()

# macOS and FreeBSD ship libarchive's bsdtar as tar; dpkg-deb, too, runs the
# tar it finds first on PATH with GNU's options.
find_program(GREET_TAR NAMES gtar tar)
execute_process(COMMAND ${GREET_TAR} --version OUTPUT_VARIABLE tar_version ERROR_QUIET)
if(NOT tar_version MATCHES "GNU tar" AND NOT archives MATCHES "^[^;]*\\.zip$")
  fail("Packaging needs GNU tar, found as gtar or tar, and '${GREET_TAR}' is not GNU tar. "
       "Install it as gtar (FreeBSD: pkg install gtar; macOS: brew install gnu-tar).")
endif()
file(CREATE_LINK ${GREET_TAR} ${scratch}/bin/tar SYMBOLIC)
set(ENV{PATH} "${scratch}/bin:$ENV{PATH}")

foreach(archive IN LISTS archives)
  set(made ${scratch}/${archive})
  string(REGEX REPLACE "\\.(tar\\.gz|zip)$" "" top ${archive})
  # The archives other than the .deb hold a folder named like them.
  if(archive STREQUAL CPACK_GREET_SOURCE_ARCHIVE)
    tree(${scratch}/${top} ${stage})
  elseif(NOT archive MATCHES "\\.deb$")
    tree(${scratch}/${top} ${stage}/program ${stage}/notes)
  endif()
  if(archive MATCHES "\\.tar\\.gz$")
    # GNU tar's gnu format, whose headers tar 1.34 and 1.35 write alike.
    string(REGEX REPLACE "\\.gz$" "" tarball ${made})
    run(${GREET_TAR} --create --format=gnu --sort=name --owner=root:0 --group=root:0 --file=${tarball} ${top})
    run(gzip -9n ${tarball})
  elseif(archive MATCHES "\\.zip$")
    # -X leaves out the extra fields that record the owner and the times.
    file(GLOB_RECURSE members LIST_DIRECTORIES true RELATIVE ${scratch} ${scratch}/${top}/*)
    list(SORT members)
    run(zip -X -9 -q ${made} ${top} ${members})
  else()
    # As Debian's own tools make a package: its libraries named by
    # dpkg-shlibdeps, its control file written by dpkg-gencontrol, which
    # counts Installed-Size on the files the package installs, and the
    # package packed by dpkg-deb, owned by root and dated SOURCE_DATE_EPOCH.
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
    file(GLOB_RECURSE files RELATIVE ${root} ${root}/usr/*)
    set(sums "")
    foreach(file IN LISTS files)
      file(MD5 ${root}/${file} sum)
      string(APPEND sums "${sum}  ${file}\n")
    endforeach()
    file(WRITE ${root}/DEBIAN/md5sums "${sums}")
    tree(${root})
    run(dpkg-deb --root-owner-group --build ${root} ${made})
  endif()
endforeach()

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
    file(COPY_FILE ${scratch}/${archive}.asc ${out}/${archive}.asc)
  endforeach()
endif()

# The External generator copies out, as NAME.json, its description of the
# run, which holds the build's path; the stream it still writes to is cut
# off, and the name taken over by the list of the archives.
list(JOIN archives "\", \"" list)
file(REMOVE ${json})
file(WRITE ${json} "{ \"archives\": [ \"${list}\" ] }\n")
list(TRANSFORM archives PREPEND ${scratch}/ OUTPUT_VARIABLE CPACK_EXTERNAL_BUILT_PACKAGES)
